// Layer objects: reference counts and the order in which an owner releases what it owns,
// observed through what each one logs as its destruction begins.
#include "layer/layer_object.h"
#include "layer/pointer_list.h"
#include "layer/str_list.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> destroyed;

// Logs its name when its destruction begins; "self" also takes itself out of its owner's list
// and releases itself again on the way, as a child that drops itself from its parent does.
struct Probe : LayerObject {
    Probe(std::string text, LayerObject* inside = nullptr) : name(std::move(text)), owner(inside) {}
    void Destroy() override {
        destroyed.push_back(name);
        RemoveFromReleaseList(owner, this);
        Release(this);
        LayerObject::Destroy();
    }
    std::string name;
    LayerObject* owner;
};

// An owner releases its objects oldest registration first, each once; an object taken out of
// the list outlives it; a retained object goes at the balancing release.
TEST(LayerObject, OwnerReleasesItsObjectsOldestRegistrationFirst) {
    destroyed.clear();
    auto* owner = new Probe("owner");
    auto* kept = new Probe("kept");
    // The kept one is the oldest registration: the pair at the end of the owner's list.
    for (LayerObject* object : {kept, new Probe("A"), new Probe("self", owner), new Probe("C")})
        ReleaseTogether(owner, object);
    RemoveFromReleaseList(owner, kept);
    Retain(owner);
    Release(owner);
    EXPECT_TRUE(destroyed.empty());
    Release(owner);
    EXPECT_EQ(destroyed, (std::vector<std::string>{"owner", "A", "self", "C"}));
    Release(kept);
    EXPECT_EQ(destroyed.back(), "kept");
}

// A list answers for the items it has: the first equal one, an empty text past its end.
TEST(Lists, AnswerForTheItemsTheyHave) {
    auto* pointers = new PointerList(0);
    auto* texts = new StrList;
    char items[] = "ab";
    for (char* item : {items, items + 1, items}) {
        pointers->Add(item);
        texts->Add(item);
    }
    EXPECT_EQ(std::vector({pointers->IndexOf(items), pointers->IndexOf(items + 2)}),
              std::vector({0, -1}));
    EXPECT_EQ(std::vector({texts->Item(2), texts->Item(3), texts->Item(-1)}),
              std::vector<std::string>({"ab", "", ""}));
    Release(pointers);
    Release(texts);
}

} // namespace
