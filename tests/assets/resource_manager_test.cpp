#include "assets/resource_manager.h"

#include "support/error_of.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tincrates {
namespace {

// A small asset type of the tests' own; a pool lets a test put a new object at the address
// of a destroyed one.
struct Note {
    std::string text;
    bool alive = true;
    std::string pageName; // for books: the note they are made from
};

std::vector<std::string> destroyed;
std::map<std::string, int> loadsByName;
std::map<std::string, std::string> files; // name -> content; absent names fail to load
Note* reuseSlot = nullptr;                 // when set, the next load builds its object here
Note* slotAddress = nullptr;               // an object there is not deleted on destruction

void destroyManagedAsset(Note* note)
{
    destroyed.push_back(note->text);
    if (note == slotAddress) {
        note->alive = false;
        return;
    }
    delete note;
}

class NoteManager final : public ResourceManager<Note> {
protected:
    Note* load(const std::string& name) override
    {
        ++loadsByName[name];
        auto file = files.find(name);
        if (file == files.end())
            throw std::string("file not found: ") + name;
        if (file->second == "<null>")
            return nullptr;
        if (file->second == "<runtime>")
            throw std::runtime_error("not a text");
        if (reuseSlot) {
            reuseSlot->text = file->second;
            reuseSlot->alive = true;
            return reuseSlot;
        }
        return new Note{file->second, true, {}};
    }
};

// A manager that holds another, like the concrete managers of the engine.
class NoteBookManager final : public ResourceManager<Note> {
public:
    NoteManager inner;

protected:
    Note* load(const std::string& name) override
    {
        Note* page = inner.get(name + ".page");
        return new Note{"book of " + page->text, true, name + ".page"};
    }
    // A book's page lives as long as any manager that hands the book out.
    void holdSubAssets(Note* book) override
    {
        inner.get(book->pageName);
    }
};

class ResourceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        destroyed.clear();
        loadsByName.clear();
        files = {{"white.png", "white"}, {"White.png", "capital"}, {"a.page", "A"}};
        reuseSlot = nullptr;
        slotAddress = nullptr;
    }
};

TEST_F(ResourceManagerTest, SameNameLoadsOnceAndCountsTwice)
{
    {
        NoteManager manager;
        Note* first = manager.get("white.png");
        Note* second = manager.get("white.png");
        EXPECT_EQ(first, second);
        EXPECT_EQ(loadsByName["white.png"], 1);
        EXPECT_EQ(manager.heldCount(first), 2);
        EXPECT_EQ(NoteManager::totalCount(first), 2);
        EXPECT_TRUE(destroyed.empty());
    }
    EXPECT_EQ(destroyed, std::vector<std::string>{"white"});
}

TEST_F(ResourceManagerTest, ObjectSurvivesUntilItsLastManagerGoes)
{
    auto* first = new NoteManager;
    NoteManager second;
    Note* a = first->get("white.png");
    Note* b = second.get("white.png");
    EXPECT_EQ(a, b);
    EXPECT_EQ(NoteManager::totalCount(a), 2);
    EXPECT_EQ(first->heldCount(a), 1);
    delete first;
    EXPECT_TRUE(destroyed.empty());
    EXPECT_EQ(NoteManager::totalCount(a), 1);
    EXPECT_EQ(second.get("white.png"), a);
    EXPECT_EQ(loadsByName["white.png"], 1);
}

TEST_F(ResourceManagerTest, NamesAreCaseSensitive)
{
    NoteManager manager;
    Note* lower = manager.get("white.png");
    Note* upper = manager.get("White.png");
    EXPECT_NE(lower, upper);
    EXPECT_EQ(upper->text, "capital");
    EXPECT_EQ(loadsByName.size(), 2u);
}

TEST_F(ResourceManagerTest, DestroyedObjectIsLoadedAfreshByANewManager)
{
    {
        NoteManager manager;
        manager.get("white.png");
    }
    NoteManager later;
    Note* again = later.get("white.png");
    EXPECT_EQ(again->text, "white");
    EXPECT_EQ(loadsByName["white.png"], 2);
    EXPECT_EQ(NoteManager::totalCount(again), 1);
}

TEST_F(ResourceManagerTest, NewObjectAtADestroyedOnesAddressIsNotTakenForIt)
{
    Note slot;
    reuseSlot = slotAddress = &slot;
    {
        NoteManager manager;
        EXPECT_EQ(manager.get("white.png"), &slot);
    }
    ASSERT_FALSE(slot.alive);
    NoteManager later;
    Note* other = later.get("White.png");
    ASSERT_EQ(other, &slot) << "the test needs the address to be reused";
    // The old name must not resolve to the new object that happens to share its address.
    reuseSlot = nullptr;
    Note* white = later.get("white.png");
    EXPECT_NE(white, &slot);
    EXPECT_EQ(white->text, "white");
    EXPECT_EQ(slot.text, "capital");
    EXPECT_EQ(loadsByName["white.png"], 2);
}

TEST_F(ResourceManagerTest, FailedLoadIsWrappedAndLeavesNoCounts)
{
    NoteManager manager;
    EXPECT_EQ(testing::errorOf([&] { manager.get("missing.png"); }),
              "Failed to load missing.png\nfile not found: missing.png");
    files["missing.png"] = "arrived";
    Note* note = manager.get("missing.png");
    EXPECT_EQ(note->text, "arrived");
    EXPECT_EQ(loadsByName["missing.png"], 2);
    EXPECT_EQ(manager.heldCount(note), 1);
}

TEST_F(ResourceManagerTest, NestedFailuresGainOneLinePerManager)
{
    NoteBookManager books;
    EXPECT_EQ(testing::errorOf([&] { books.get("b"); }),
              "Failed to load b\nFailed to load b.page\nfile not found: b.page");
}

TEST_F(ResourceManagerTest, HeldManagerGivesBackItsObjectsFirst)
{
    {
        NoteBookManager books;
        EXPECT_EQ(books.get("a")->text, "book of A");
    }
    EXPECT_EQ(destroyed, (std::vector<std::string>{"A", "book of A"}));
}

TEST_F(ResourceManagerTest, SubAssetsOfAnObjectLoadedElsewhereStayWithEveryHolder)
{
    auto* loader = new NoteBookManager;
    NoteBookManager sharer;
    Note* book = loader->get("a");
    EXPECT_EQ(sharer.get("a"), book);
    EXPECT_EQ(sharer.get("a"), book);
    Note* page = sharer.inner.get("a.page");
    // One hold from the loader's inner manager, one from the sharer's first get of the book,
    // one from the lookup just above: the second get of the book took no further hold.
    EXPECT_EQ(NoteManager::totalCount(page), 3);
    delete loader;
    EXPECT_TRUE(destroyed.empty()) << "the page must outlive the manager that loaded the book";
}

TEST_F(ResourceManagerTest, OtherExceptionsPassUnchanged)
{
    files["odd"] = "<runtime>";
    NoteManager manager;
    EXPECT_THROW(manager.get("odd"), std::runtime_error);
}

TEST_F(ResourceManagerTest, NullLoadIsReturnedAndNotRegistered)
{
    files["nothing"] = "<null>";
    NoteManager manager;
    EXPECT_EQ(manager.get("nothing"), nullptr);
    EXPECT_EQ(manager.get("nothing"), nullptr);
    EXPECT_EQ(loadsByName["nothing"], 2);
}

} // namespace
} // namespace tincrates
