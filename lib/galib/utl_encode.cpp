// Bit-string encodings of grid indices: plain binary and reflected binary Gray code, q bits per
// variable, most significant bit first, one 0/1 per char.
#include "quorvant/galib/utl_encode.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"

namespace {

constexpr char kMsgBinaryTooLarge[] = " ## Error: Too large value to binary encode.\n";
constexpr char kMsgGrayTooLarge[] = " ## Error: Too large value to gray encode.\n";
constexpr char kMsgBinaryEncodeSize[] = " ## Error: Array size mismatched(in BinaryEncode).\n";
constexpr char kMsgBinaryDecodeSize[] = " ## Error: Array size mismatched(in BinaryDecode).\n";
constexpr char kMsgGrayEncodeSize[] = " ## Error: Array size mismatched(in GrayEncode).\n";
constexpr char kMsgGrayDecodeSize[] = " ## Error: Array size mismatched(in GrayDecode).\n";
constexpr char kMsgQuantum[] = " ## Error: Quantum number must be in region [1, %d].\n";

// True when value is an index of a q-bit grid (0 <= value < 2^q); every int >= 0 fits from q = 31.
bool fitsInBits(int value, int q) {
    if (value < 0) return false;
    return q >= 31 || value < (1 << q);
}

// Bit j (from the top) of value written in q bits.
char bitAt(unsigned value, int q, int j) {
    const int shift = q - 1 - j;
    return shift >= 32 ? 0 : static_cast<char>((value >> shift) & 1U);
}

void writeBits(unsigned value, char *bits, int q) {
    for (int j = 0; j < q; ++j) bits[j] = bitAt(value, q, j);
}

// The block layout must cover the gene exactly and stay inside the fixed gene arrays; the grid
// index of a block must be an int.
bool layoutFits(int numVariable, int geneLength, int q, const char *sizeMsg) {
    const long long bits = static_cast<long long>(numVariable) * q;
    if (numVariable < 0 || numVariable > ga_variable_limit() || geneLength > qv::kGaMaxBits ||
        bits != geneLength) {
        log_sys("%s", sizeMsg);
        return false;
    }
    if (q < 1 || q > qv::kGaMaxQuantum) {
        log_sys(kMsgQuantum, qv::kGaMaxQuantum);
        return false;
    }
    return true;
}

}  // namespace

int b_encode(int value, char *bits, int q) {
    if (!fitsInBits(value, q)) {
        log_sys(kMsgBinaryTooLarge);
        return -1;
    }
    writeBits(static_cast<unsigned>(value), bits, q);
    return 0;
}

int b_decode(const char *bits, int q) {
    // Accumulated modulo 2^32: exact for the q <= 30 that the grid uses, defined for any q.
    unsigned value = 0;
    for (int j = 0; j < q; ++j) value = (value << 1) | (bits[j] != 0 ? 1U : 0U);
    return static_cast<int>(value);
}

int g_encode(int value, char *bits, int q) {
    if (!fitsInBits(value, q)) {
        log_sys(kMsgGrayTooLarge);
        return -1;
    }
    const auto v = static_cast<unsigned>(value);
    writeBits(v ^ (v >> 1), bits, q);
    return 0;
}

int g_decode(const char *bits, int q) {
    // Each binary bit is the Gray bit xor the binary bit above it.
    unsigned value = 0;
    unsigned above = 0;
    for (int j = 0; j < q; ++j) {
        above ^= (bits[j] != 0 ? 1U : 0U);
        value = (value << 1) | above;
    }
    return static_cast<int>(value);
}

int BinaryEncode(const int *ints, int numVariable, char *bits, int geneLength, int q) {
    if (!layoutFits(numVariable, geneLength, q, kMsgBinaryEncodeSize)) return -1;
    for (int k = 0; k < numVariable; ++k) {
        if (b_encode(ints[k], bits + k * q, q) != 0) return -1;
    }
    return 0;
}

int BinaryDecode(const char *bits, int geneLength, int q, int numVariable, int *ints) {
    if (!layoutFits(numVariable, geneLength, q, kMsgBinaryDecodeSize)) return -1;
    for (int k = 0; k < numVariable; ++k) ints[k] = b_decode(bits + k * q, q);
    return 0;
}

int GrayEncode(const int *ints, int numVariable, char *bits, int geneLength, int q) {
    if (!layoutFits(numVariable, geneLength, q, kMsgGrayEncodeSize)) return -1;
    for (int k = 0; k < numVariable; ++k) {
        if (g_encode(ints[k], bits + k * q, q) != 0) return -1;
    }
    return 0;
}

int GrayDecode(const char *bits, int geneLength, int q, int numVariable, int *ints) {
    if (!layoutFits(numVariable, geneLength, q, kMsgGrayDecodeSize)) return -1;
    for (int k = 0; k < numVariable; ++k) ints[k] = g_decode(bits + k * q, q);
    return 0;
}
