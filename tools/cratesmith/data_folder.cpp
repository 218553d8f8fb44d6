// Writing the data folder's files.
#include "tools/cratesmith/data_folder.h"

#include "datafiles/replacing_file.h"
#include "tools/media/png_writer.h"

#include <algorithm>
#include <ctime>
#include <stdexcept>
#include <system_error>

namespace tincrates::cratesmith {

namespace fs = std::filesystem;

DataFolder::DataFolder(fs::path folder)
    : folder(std::move(folder))
{
    std::error_code error;
    fs::remove_all(this->folder, error);
    if (!error)
        fs::create_directories(this->folder, error);
    if (error)
        throw std::runtime_error("cannot make " + this->folder.string() + ": " + error.message());
}

fs::path DataFolder::claim(const std::string& name)
{
    if (std::find(written.begin(), written.end(), name) != written.end())
        throw std::runtime_error("written twice: " + name);
    written.push_back(name);
    return folder / name;
}

void DataFolder::writeBytes(const std::string& name, std::string_view bytes)
{
    fs::path path = claim(name);
    // Whole or not at all: a run that fails part-way leaves no truncated file to be packed.
    try {
        writeWholeFile(path.string(), bytes);
    } catch (const std::runtime_error&) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void DataFolder::writeImage(const std::string& name, const Image& image)
{
    writePngFile(claim(name).string(), image.width, image.height, image.pixels, image.hasAlpha);
}

void DataFolder::writeMesh(const std::string& name, const MeshData& mesh)
{
    writeBytes(name, encodeMesh1(mesh));
}

void DataFolder::fixTimes() const
{
    // Noon of a fixed day in local time: the archive keeps local DOS times, so the stored
    // bytes are the same in every time zone.
    std::tm noon{};
    noon.tm_year = 2026 - 1900;
    noon.tm_mon = 11;
    noon.tm_mday = 8;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    auto stamp = fs::file_time_type::clock::from_sys(
        std::chrono::system_clock::from_time_t(std::mktime(&noon)));
    for (const auto& name : written) {
        std::error_code error;
        fs::last_write_time(folder / name, stamp, error);
        if (error)
            throw std::runtime_error("cannot set the time of " + name + ": " + error.message());
    }
}

} // namespace tincrates::cratesmith
