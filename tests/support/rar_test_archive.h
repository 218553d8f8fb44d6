// Builds small RAR 2.x archives in memory for tests: marker, main header, file headers with
// chosen fields, packed data (optionally encrypted with the RAR 2.0 cipher) and other blocks.
#pragma once

#include "datafiles/crc32.h"
#include "datafiles/rar20_cipher.h"
#include "datafiles/rar_format.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace tincrates::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Encrypts `plain` as an encrypted member's packed data: padded with zeros to whole 16-byte
// blocks, each block encrypted in order with keys set up from `password`.
inline Bytes encryptPacked(Bytes plain, const char* password)
{
    plain.resize((plain.size() + 15) & ~size_t(15));
    Rar20Cipher cipher;
    cipher.setupKeys(password);
    for (size_t i = 0; i < plain.size(); i += 16)
        cipher.encryptBlock(plain.data() + i);
    return plain;
}

// One file header and its packed data.
struct TestMember {
    std::string name;
    Bytes packed;             // the packed stream as the decoder reads it (before encryption)
    uint32_t unpackedSize = 0;
    uint32_t fileCrc = 0;
    uint8_t unpackVersion = 20;
    uint8_t method = rar::METHOD_STORE;
    uint16_t flags = 0;       // LONG_BLOCK is added; LHD_PASSWORD when a password is given
    const char* password = nullptr; // encrypt the packed data with it
    Bytes headerExtra;        // bytes inside the header after the name (a file comment)
};

// A stored member holding `content`.
inline TestMember storedMember(std::string name, std::string_view content)
{
    TestMember member;
    member.name = std::move(name);
    member.packed = bytesOf(content);
    member.unpackedSize = uint32_t(content.size());
    member.fileCrc = crc32(0, content.data(), content.size());
    return member;
}

// A compressed member whose packed stream is `packed` and whose content is `content`.
inline TestMember compressedMember(std::string name, Bytes packed, const Bytes& content)
{
    TestMember member;
    member.name = std::move(name);
    member.packed = std::move(packed);
    member.unpackedSize = uint32_t(content.size());
    member.fileCrc = crc32(0, content.data(), content.size());
    member.method = 0x33;
    return member;
}

class TestArchive {
public:
    explicit TestArchive(uint16_t mainFlags = 0, Bytes mainHeaderExtra = {})
    {
        bytes.assign(rar::markerBlock.begin(), rar::markerBlock.end());
        Bytes head = {0, 0, rar::MAIN_HEAD};
        put16(head, mainFlags);
        put16(head, uint16_t(rar::mainHeaderSize + mainHeaderExtra.size()));
        put16(head, 0);
        put32(head, 0);
        head.insert(head.end(), mainHeaderExtra.begin(), mainHeaderExtra.end());
        bytes.insert(bytes.end(), head.begin(), head.end());
    }

    TestArchive& add(const TestMember& member)
    {
        Bytes data = member.password ? encryptPacked(member.packed, member.password)
                                     : member.packed;
        uint16_t flags = uint16_t(member.flags | rar::LONG_BLOCK
                                  | (member.password ? rar::LHD_PASSWORD : 0));
        Bytes head = {0, 0, rar::FILE_HEAD};
        put16(head, flags);
        put16(head, uint16_t(rar::fileHeaderSize + member.name.size() + member.headerExtra.size()));
        put32(head, uint32_t(data.size()));
        put32(head, member.unpackedSize);
        head.push_back(rar::HOST_MSDOS);
        put32(head, member.fileCrc);
        put32(head, 0);
        head.push_back(member.unpackVersion);
        head.push_back(member.method);
        put16(head, uint16_t(member.name.size()));
        put32(head, 0x20);
        head.insert(head.end(), member.name.begin(), member.name.end());
        head.insert(head.end(), member.headerExtra.begin(), member.headerExtra.end());
        bytes.insert(bytes.end(), head.begin(), head.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }

    // Any other block: 7 common bytes, `body` after them, and a data area when `data` is not
    // empty (flag LONG_BLOCK, its size at offset 7).
    TestArchive& addBlock(uint8_t type, uint16_t flags, Bytes body = {}, Bytes data = {})
    {
        Bytes head = {0, 0, type};
        if (!data.empty()) {
            flags |= rar::LONG_BLOCK;
            Bytes size;
            put32(size, uint32_t(data.size()));
            body.insert(body.begin(), size.begin(), size.end());
        }
        put16(head, flags);
        put16(head, uint16_t(rar::blockHeaderSize + body.size()));
        head.insert(head.end(), body.begin(), body.end());
        bytes.insert(bytes.end(), head.begin(), head.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }

    void writeTo(const std::filesystem::path& path) const
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    Bytes bytes;

private:
    static void put16(Bytes& out, uint16_t v)
    {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
    static void put32(Bytes& out, uint32_t v)
    {
        put16(out, uint16_t(v));
        put16(out, uint16_t(v >> 16));
    }
};

inline void writeFile(const std::filesystem::path& path, const Bytes& content)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
}

inline Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tincrates::testing
