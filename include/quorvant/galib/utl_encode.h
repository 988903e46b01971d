// Binary and Gray coding of bit-string genes.
#ifndef QUORVANT_GALIB_UTL_ENCODE_H
#define QUORVANT_GALIB_UTL_ENCODE_H

int b_encode(int value, char *bits, int q);
int b_decode(const char *bits, int q);
int g_encode(int value, char *bits, int q);
int g_decode(const char *bits, int q);
int BinaryEncode(const int *ints, int numVariable, char *bits, int geneLength, int q);
int BinaryDecode(const char *bits, int geneLength, int q, int numVariable, int *ints);
int GrayEncode(const int *ints, int numVariable, char *bits, int geneLength, int q);
int GrayDecode(const char *bits, int geneLength, int q, int numVariable, int *ints);

#endif
