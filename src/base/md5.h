// MD5 (RFC 1321) over a state laid out as advapi32's MD5_CTX: the simulated
// Windows answers MD5Init/MD5Update/MD5Final with it, and the archive tool
// computes its digests with it where there is no advapi32.
#pragma once

#include <cstddef>
#include <cstdint>

struct Md5State {
    uint32_t count[2];  // bits hashed, low word first
    uint32_t state[4];
    unsigned char input[64];
    unsigned char digest[16];  // valid after Md5End
};
static_assert(sizeof(Md5State) == 104, "MD5_CTX is 104 bytes");

void Md5Begin(Md5State* md5);
void Md5Add(Md5State* md5, const void* data, size_t length);
void Md5End(Md5State* md5);
