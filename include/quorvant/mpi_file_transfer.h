// Copies one whole file from rank 0 to every other process of an MPI run (a broadcast of its size,
// then of its bytes), so that ranks on machines without rank 0's file system read the same input.
// Collective: rank 0 calls a sending side, every other rank the matching receiving side, at the
// same point of its start-up.
#ifndef QUORVANT_MPI_FILE_TRANSFER_H
#define QUORVANT_MPI_FILE_TRANSFER_H

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
