// Name-keyed, counted sharing of loaded assets. Each asset type has one name table and one
// table of total counts shared by every manager of that type; each manager counts what it has
// handed out and gives it all back when it is destroyed.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tincrates {

// Managers of type T destroy an object whose total count falls to zero by calling
// destroyManagedAsset(T*), found next to T by argument-dependent lookup.
template <class T>
class ResourceManager {
public:
    ResourceManager() = default;
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    // Returns the shared object of that name, loading it on first use (or when the previous
    // object of that name has been destroyed). Throws "Failed to load " + name + "\n" + the
    // loader's text when the load throws a text; nothing is registered then.
    T* get(std::string name)
    {
        auto entry = nameTable.try_emplace(name, nullptr).first;
        T* object = entry->second;
        if (object && totalCountOf(object) > 0) {
            bool isFirstHoldHere = heldCount(object) == 0;
            ++heldCounts[object];
            ++totalCounts[object];
            if (isFirstHoldHere)
                holdSubAssets(object);
            return object;
        }
        try {
            object = load(name);
        } catch (const std::string& reason) {
            throw "Failed to load " + name + "\n" + reason;
        }
        if (object) {
            // Looked up again: a nested load of another name may have changed the table.
            nameTable[name] = object;
            ++heldCounts[object];
            ++totalCounts[object];
        }
        return object;
    }

    // How many times this manager has handed `object` out.
    int32_t heldCount(const T* object) const
    {
        auto it = heldCounts.find(const_cast<T*>(object));
        return it == heldCounts.end() ? 0 : it->second;
    }

    // Makes the next get() of `name` (of every name when empty) load the file again, while
    // objects handed out before stay valid and counted until their managers give them back:
    // for a maker, whose production is built again from changed files beside the one that
    // is playing, which stays if the new one fails.
    static void loadAfresh(const std::string& name = {})
    {
        for (auto& [named, object] : nameTable)
            if (name.empty() || named == name)
                object = nullptr;
    }

    // Whether get(name) would hand out an object loaded before, rather than load one.
    static bool isLoaded(const std::string& name)
    {
        auto entry = nameTable.find(name);
        return entry != nameTable.end() && entry->second && totalCountOf(entry->second) > 0;
    }

    // How many times all live managers of this type together hold `object`.
    static int32_t totalCount(const T* object) { return totalCountOf(const_cast<T*>(object)); }

protected:
    // Not virtual: a manager is always destroyed as its concrete type. A concrete manager's
    // held member manager is destroyed before this runs, so sub-assets go first.
    ~ResourceManager() { release(); }

    // Builds a new object for `name` or throws a text. Called only by get().
    virtual T* load(const std::string& name) = 0;

    // Called when get() first hands out, through this manager, an object that another manager
    // loaded. An asset that uses sub-assets of its own (a mesh its materials, a material its
    // textures) takes them here through this manager's member manager too: they were counted
    // only in the loading manager's, and would otherwise go with it while this one still
    // hands the object out.
    virtual void holdSubAssets(T*) {}

private:
    static int32_t totalCountOf(T* object)
    {
        auto it = totalCounts.find(object);
        return it == totalCounts.end() ? 0 : it->second;
    }

    void release()
    {
        for (auto& [object, count] : heldCounts) {
            while (count > 0) {
                --count;
                if (--totalCounts[object] == 0 && object) {
                    forgetObject(object);
                    destroyManagedAsset(object);
                }
            }
        }
        heldCounts.clear();
    }

    // Drops every trace of a destroyed object, so that a later object allocated at the same
    // address is never mistaken for it and its names load afresh.
    static void forgetObject(T* object)
    {
        totalCounts.erase(object);
        for (auto& [name, named] : nameTable)
            if (named == object)
                named = nullptr;
    }

    std::map<T*, int32_t> heldCounts;

    static inline std::map<std::string, T*> nameTable;
    static inline std::map<T*, int32_t> totalCounts;
};

} // namespace tincrates
