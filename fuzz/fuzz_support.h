// SPDX-License-Identifier: Apache-2.0
#pragma once
// Shared by the harnesses: bytes handed over the way the program receives
// them, and checks that stop the run with the broken property.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

// A property of the reader does not hold: report it and stop (libFuzzer keeps
// the input as a crash).
#define FUZZ_CHECK(condition)                                                                 \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

namespace fuzz {

// Big-endian 32-bit value of the four bytes at at (the caller checks the size).
inline uint32_t Get32(const QByteArray& d, qsizetype at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<uint8_t>(d.at(at + i));
    return v;
}

// The datagram without a copy: its bytes end where the input ends, so a read
// one byte past the datagram lands in AddressSanitizer's red zone.
inline QByteArray Datagram(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Several datagrams in one input: each is a length byte and that many bytes
// (fewer at the end of the input). Every datagram lives in a heap block of
// exactly its size, so reading past it is caught as for a single one.
class Datagrams {
public:
    Datagrams(const uint8_t* data, size_t size)
    {
        size_t offset = 0;
        while (offset < size) {
            const size_t length = std::min<size_t>(data[offset], size - offset - 1);
            ++offset;
            auto block = std::make_unique<char[]>(length == 0 ? 1 : length);
            std::memcpy(block.get(), data + offset, length);
            lengths_.push_back(length);
            blocks_.push_back(std::move(block));
            offset += length;
        }
    }
    size_t count() const { return blocks_.size(); }
    QByteArray at(size_t i) const
    {
        return QByteArray::fromRawData(blocks_[i].get(), static_cast<qsizetype>(lengths_[i]));
    }

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<size_t> lengths_;
};

}  // namespace fuzz
