// Copies one whole file from one process of an MPI run to the others (a broadcast of its size, then
// of its bytes, or one message per receiver).
#ifndef QUORVANT_SEARCHLIB_UTL_MPI_FT_H
#define QUORVANT_SEARCHLIB_UTL_MPI_FT_H

// gasearch's pair.
long get_filesize(const char *path);   // bytes, or -1 after a message

int BcastFileSend(const char *path);
int BcastFileRecv(const char *path);

// rsearch's pair: the same protocol with its own messages.
int SendFileAllSlave(const char *path);

int RecvFile(const char *path);

// The receiving sides write only to a name that this system can create: not empty, shorter than
// PATH_MAX, no part between two '/' longer than NAME_MAX. 0, or -1 after the message. The
// receiving sides check their path with it after both broadcasts.
int CheckReceivedFileName(const char *path);

#endif
