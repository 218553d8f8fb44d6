// Writing side of the RAR 2.x container.
#include "datafiles/archive_writer.h"

#include "datafiles/crc32.h"
#include "datafiles/rar20_cipher.h"
#include "datafiles/rar20_compressor.h"
#include "datafiles/rar_format.h"
#include "datafiles/replacing_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <vector>

namespace tincrates {

namespace {

// Dictionary size bits of a file header's flags: 1 MiB, the RAR 2.0 window. Readers that
// size their window from the header need it.
constexpr uint16_t LHD_WINDOW1024 = 0x0080;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint8_t unpackVersion = 20;
constexpr size_t cipherBlockSize = 16;

void put16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// Fills in the header CRC: the low half of the CRC-32 of everything from the type byte on.
void sealHeader(std::vector<uint8_t>& header)
{
    uint32_t crc = crc32(0, header.data() + 2, header.size() - 2);
    header[0] = uint8_t(crc);
    header[1] = uint8_t(crc >> 8);
}

std::string systemError(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

} // namespace

uint32_t dosTime(std::time_t time)
{
    std::tm local{};
    if (!localtime_r(&time, &local) || local.tm_year < 80)
        return (1u << 16) | (1u << 21); // 1980-01-01, the earliest DOS date
    return uint32_t(local.tm_sec / 2) | uint32_t(local.tm_min) << 5
        | uint32_t(local.tm_hour) << 11 | uint32_t(local.tm_mday) << 16
        | uint32_t(local.tm_mon + 1) << 21 | uint32_t(local.tm_year - 80) << 25;
}

ArchiveWriter::ArchiveWriter(const std::string& archivePath, const ArchiveSettings& archive)
    : path(archivePath),
      settings(archive),
      output(std::make_unique<ReplacingFile>(archivePath)),
      file(output->stream())
{
    if (settings.level < 0 || settings.level > 5)
        throw std::runtime_error("compression level must be 0 to 5");
    if (settings.password.size() > 127)
        throw std::runtime_error("password longer than 127 characters");
    if (settings.level > 0)
        compressor = std::make_unique<rar20::Rar20Compressor>(settings.level);

    writeBytes(rar::markerBlock);
    std::vector<uint8_t> mainHeader;
    put16(mainHeader, 0);
    mainHeader.push_back(rar::MAIN_HEAD);
    put16(mainHeader, settings.isSolid ? rar::MHD_SOLID : 0);
    put16(mainHeader, rar::mainHeaderSize);
    put16(mainHeader, 0);
    put32(mainHeader, 0);
    sealHeader(mainHeader);
    writeBytes(mainHeader);
}

ArchiveWriter::~ArchiveWriter() = default;

void ArchiveWriter::writeBytes(std::span<const uint8_t> bytes)
{
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        throw std::runtime_error(systemError("cannot write", path));
}

void ArchiveWriter::addMember(const std::string& name, std::span<const uint8_t> content,
                              uint32_t time, const std::function<void(size_t)>& progress)
{
    if (!file)
        throw std::runtime_error("archive " + path + " is already finished");
    if (name.empty() || name.size() > 0xFFFF - rar::fileHeaderSize)
        throw std::runtime_error("member name of " + std::to_string(name.size())
                                 + " characters is not allowed");
    if (content.size() > 0xFFFFFFF0u)
        throw std::runtime_error(name + " is larger than 4 GiB, the format's limit");
    if (settings.isSolid && content.empty()) {
        // Some readers lose their place in a solid run at a member without content, so
        // empty members are stored apart, after all the others.
        deferredEmpty.push_back({name, time});
        if (progress)
            progress(0);
        return;
    }
    writeMember(name, content, time, progress);
}

void ArchiveWriter::writeMember(const std::string& name, std::span<const uint8_t> content,
                                uint32_t time, const std::function<void(size_t)>& progress)
{
    uint8_t method = rar::METHOD_STORE;
    bool isSolidMember = false;
    std::vector<uint8_t> packed;
    if (compressor && !content.empty()) {
        // In a solid archive every member goes through the compressor, even when storing
        // would be smaller: a stored member would leave a gap in the window that the
        // members after it share with the reader.
        isSolidMember = settings.isSolid && compressor->hasState();
        packed = compressor->compressMember(content, isSolidMember, progress);
        method = uint8_t(rar::METHOD_STORE + settings.level);
        if (!settings.isSolid && packed.size() >= content.size()) {
            method = rar::METHOD_STORE;
            packed.clear();
        }
    }
    bool isEncrypted = !settings.password.empty();
    if (method == rar::METHOD_STORE) {
        // Only encryption needs a copy; plain stored content is written as it is.
        if (isEncrypted)
            packed.assign(content.begin(), content.end());
        if (progress)
            progress(content.size());
    }
    if (isEncrypted) {
        packed.resize((packed.size() + cipherBlockSize - 1) / cipherBlockSize * cipherBlockSize,
                      0);
        Rar20Cipher cipher;
        cipher.setupKeys(settings.password.c_str());
        for (size_t at = 0; at < packed.size(); at += cipherBlockSize)
            cipher.encryptBlock(packed.data() + at);
    }
    std::span<const uint8_t> data =
        method == rar::METHOD_STORE && !isEncrypted ? content : std::span<const uint8_t>(packed);
    if (data.size() > 0xFFFFFFFFu)
        throw std::runtime_error(name + " packs larger than 4 GiB, the format's limit");

    uint16_t flags = rar::LONG_BLOCK | LHD_WINDOW1024;
    if (isEncrypted)
        flags |= rar::LHD_PASSWORD;
    if (isSolidMember)
        flags |= rar::LHD_SOLID;
    std::vector<uint8_t> header;
    put16(header, 0);
    header.push_back(rar::FILE_HEAD);
    put16(header, flags);
    put16(header, uint32_t(rar::fileHeaderSize + name.size()));
    put32(header, uint32_t(data.size()));
    put32(header, uint32_t(content.size()));
    header.push_back(rar::HOST_MSDOS);
    put32(header, crc32(0, content.data(), content.size()));
    put32(header, time);
    header.push_back(unpackVersion);
    header.push_back(method);
    put16(header, uint32_t(name.size()));
    put32(header, FILE_ATTRIBUTE_ARCHIVE);
    header.insert(header.end(), name.begin(), name.end());
    sealHeader(header);
    writeBytes(header);
    writeBytes(data);
}

void ArchiveWriter::finish()
{
    if (!file)
        return;
    for (const DeferredMember& member : deferredEmpty)
        writeMember(member.name, {}, member.time, {});
    deferredEmpty.clear();
    file = nullptr;
    output->commit();
}

} // namespace tincrates
