// A file written under a temporary name beside its target, which takes the target's place only
// once it is whole: a failed or interrupted write leaves the old file as it was.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tincrates {

class ReplacingFile {
public:
    // Creates an empty temporary file in the folder of `target` (of the file it names, when
    // `target` is a symbolic link to one) and opens it for writing. Throws std::system_error
    // (a std::runtime_error) "cannot create TARGET: reason" when it cannot; its code() is the
    // reason alone, as are those of the errors below.
    explicit ReplacingFile(const std::string& target);
    // The same for the file `name` in the folder open as `folderDescriptor`, which must stay
    // open while this object lives; for writing below a folder without following links. A
    // symbolic link under `name` is replaced rather than written through, and a file there
    // passes on only its read, write and execute permissions.
    ReplacingFile(int folderDescriptor, const std::string& name);
    // Removes the temporary file unless commit() has put it in place.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The open temporary file; null once committed.
    std::FILE* stream() const { return file; }

    // Closes the temporary file and renames it to the target, with the permissions the target
    // had or, for a new file, those of a file created now. Throws std::system_error "cannot
    // write TARGET: reason"; the target is then unchanged.
    void commit();

private:
    int folder;                // where the paths below start: a folder, or the current one
    bool isLinkReplaced;       // a link at the target is replaced, not followed
    std::string target;        // as the caller named it, for messages
    std::string finalPath;     // where the file goes: the target, or the file its link names
    std::string temporaryPath; // beside finalPath
    std::FILE* file = nullptr;
};

// Writes `bytes` as the whole of `target` through a ReplacingFile. Throws std::runtime_error
// "cannot create TARGET: reason" or "cannot write TARGET: reason"; the target is then unchanged.
void writeWholeFile(const std::string& target, std::string_view bytes);

// Puts `written`, a whole file beside `target` that another writer made (a child process, say),
// in the target's place, with the permissions the target had or, for a new file, those of a
// file created now. When it cannot, removes `written` and throws std::runtime_error "cannot
// write TARGET: reason"; the target is then unchanged.
void replaceWithWritten(const std::string& written, const std::string& target);

} // namespace tincrates
