// Data files by plain name: first from the packed archive, then from the data/ folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tincrates {

// One data file held whole in memory. Fields are public and read directly by callers.
struct DataFile {
    uint32_t size;     // bytes of content
    uint8_t* data;     // exactly `size` bytes, malloc'd; owned by the handle
    uint32_t position; // offset of the next byte to read; only moves forward
};

// Archive searched first, its password, and the folder searched second.
constexpr const char* dataArchiveName = "stashpack";
constexpr const char* dataArchivePassword = "Kd7M";
constexpr const char* dataFolderName = "data";
constexpr const char* dataDirectoryFormat = "data/%s";

// Which of the two places a name is looked for in first. A production looks in its archive
// first; a maker who edits loose files in data/ beside it wants those to win, as a
// developer's override folder does.
enum class DataLookupOrder { archiveFirst, folderFirst };

// Where openDataFile found a name, or that it found it nowhere.
enum class DataFileOrigin { archive, folder, nowhere };

// Sets the order of every later lookup, for the whole process, while it lives; restores the
// order before when it goes. The archive comes first while none lives.
class DataLookupOrderScope {
public:
    explicit DataLookupOrderScope(DataLookupOrder order);
    ~DataLookupOrderScope();
    DataLookupOrderScope(const DataLookupOrderScope&) = delete;
    DataLookupOrderScope& operator=(const DataLookupOrderScope&) = delete;

private:
    DataLookupOrder before;
};

// Called by every later openDataFile with the name asked for and where it was found, while
// it is set; an empty function stops the calls. A maker's run learns from it which files the
// production shows and where they came from.
void setDataFileObserver(std::function<void(const std::string& name, DataFileOrigin origin)> observer);

// Returns a new handle for the named file, or null when neither the archive nor the data
// folder holds it (or memory runs out). Nothing stays allocated on failure.
DataFile* openDataFile(const char* name);

// Like openDataFile(name). When it returns null although the archive is there, because the
// archive could not deliver the name for a reason other than not holding it (a wrong password,
// a damaged member, a damaged header), *archiveProblem receives that reason in one line, such
// as "stashpack: CRC-32 differs: wrong password or damaged member"; otherwise it is emptied.
DataFile* openDataFile(const char* name, std::string* archiveProblem);

// A loader's words for a file that was not found, with the archive's problem from
// openDataFile on a further line when there is one: damage is not mistaken for absence.
std::string notFoundMessage(const std::string& text, const std::string& archiveProblem);

// Releases the content and the handle. Accepts null. Returns 0.
int closeDataFile(DataFile* file);

// Copies up to `count` whole items of `itemSize` bytes into `destination` (fread's argument
// order). An item that would reach past the end is not copied, not even in part. Returns the
// number of items copied.
uint32_t readDataFile(void* destination, uint32_t itemSize, uint32_t count, DataFile* file);

// Returns a malloc'd copy of the zero-terminated string at `position` and moves `position`
// past its terminator. Without a terminator before the end, returns the remaining bytes and
// moves `position` to `size`. Returns null for a null handle or when memory runs out.
char* readDataString(DataFile* file);

} // namespace tincrates
