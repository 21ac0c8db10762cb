// Layer objects and lists: reference counts, release order, list growth, string lists and bound
// handlers, observed through destroy handlers and the lists' public state.
#include "layer/bound_handler.h"
#include "layer/layer_object.h"
#include "layer/pointer_list.h"
#include "layer/str_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Probe : public LayerObject {
  public:
    explicit Probe(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
};

// Records the name of every probe whose destruction begins.
struct DestroyLog {
    std::vector<std::string> names;
    void Record(LayerObject* sender) { names.push_back(static_cast<Probe*>(sender)->Name()); }
};

Probe* NewLoggedProbe(const std::string& name, DestroyLog& log) {
    auto* probe = new Probe(name);
    probe->DestroyHandler = BoundHandler<LayerObject*>::Bind<&DestroyLog::Record>(&log);
    return probe;
}

TEST(LayerObject, NewObjectIsDestroyedByOneRelease) {
    DestroyLog log;
    Probe* probe = NewLoggedProbe("p", log);
    EXPECT_EQ(probe->RefCount, 0);
    Release(probe);
    EXPECT_EQ(log.names, std::vector<std::string>{"p"});
}

TEST(LayerObject, RetainedObjectSurvivesOneReleaseAndGoesAtTheBalancingOne) {
    DestroyLog log;
    Probe* probe = NewLoggedProbe("p", log);
    Retain(probe);
    EXPECT_EQ(probe->RefCount, 2);
    Release(probe);
    EXPECT_TRUE(log.names.empty());
    EXPECT_EQ(probe->RefCount, 0);
    Release(probe);
    EXPECT_EQ(log.names, std::vector<std::string>{"p"});
}

TEST(LayerObject, ReleaseOfNullDoesNothing) {
    Release(nullptr);
}

TEST(LayerObject, OwnerReleasesItsObjectsOldestRegistrationFirst) {
    DestroyLog log;
    Probe* owner = NewLoggedProbe("owner", log);
    ReleaseTogether(owner, NewLoggedProbe("A", log));
    ReleaseTogether(owner, NewLoggedProbe("B", log));
    ReleaseTogether(owner, NewLoggedProbe("C", log));
    Release(owner);
    EXPECT_EQ(log.names, (std::vector<std::string>{"owner", "A", "B", "C"}));
}

TEST(LayerObject, ObjectTakenOutOfTheReleaseListOutlivesItsOwner) {
    DestroyLog log;
    Probe* owner = NewLoggedProbe("owner", log);
    Probe* kept = NewLoggedProbe("kept", log);
    ReleaseTogether(owner, NewLoggedProbe("A", log));
    ReleaseTogether(owner, kept);
    ReleaseTogether(owner, NewLoggedProbe("C", log));
    RemoveFromReleaseList(owner, kept);
    EXPECT_EQ(owner->ReleaseList->Count(), 4);
    Release(owner);
    EXPECT_EQ(log.names, (std::vector<std::string>{"owner", "A", "C"}));
    Release(kept);
    EXPECT_EQ(log.names.back(), "kept");
}

// An object released while its owner releases it (a child that drops itself from its parent)
// is destroyed once.
class SelfRemovingProbe : public LayerObject {
  public:
    SelfRemovingProbe(LayerObject* owner, int& destroyed) : owner_(owner), destroyed_(destroyed) {}

  protected:
    void Destroy() override {
        ++destroyed_;
        RemoveFromReleaseList(owner_, this);
        Release(this);
        LayerObject::Destroy();
    }

  private:
    LayerObject* owner_;
    int& destroyed_;
};

TEST(LayerObject, ReleaseDuringDestructionDoesNotDestroyTwice) {
    DestroyLog log;
    Probe* owner = NewLoggedProbe("owner", log);
    int destroyed = 0;
    ReleaseTogether(owner, new SelfRemovingProbe(owner, destroyed));
    ReleaseTogether(owner, NewLoggedProbe("after", log));
    Release(owner);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(log.names, (std::vector<std::string>{"owner", "after"}));
}

TEST(PointerList, GrowsByAQuarterPlusOneWithoutGrowBy) {
    auto* list = new PointerList();
    std::vector<int32_t> capacities{list->Capacity()};
    int values[5] = {};
    for (int& value : values) {
        list->Add(&value);
        capacities.push_back(list->Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{0, 1, 2, 3, 4, 6}));
    Release(list);
}

TEST(PointerList, GrowsByGrowByWhenSet) {
    auto* list = new PointerList(4);
    int value = 0;
    std::vector<int32_t> capacities;
    for (int i = 0; i < 9; ++i) {
        list->Add(&value);
        capacities.push_back(list->Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{4, 4, 4, 4, 8, 8, 8, 8, 12}));
    Release(list);
}

TEST(PointerList, InsertDeleteFindAndOutOfRangeAccess) {
    auto* list = new PointerList(4);
    int a = 0, b = 0, c = 0, d = 0;
    list->Add(&a);
    list->Add(&c);
    list->Insert(1, &b);
    list->Insert(0, &d);
    list->Insert(9, &d); // beyond the end: ignored
    ASSERT_EQ(list->Count(), 4);
    EXPECT_EQ(list->ItemAt(0), &d);
    EXPECT_EQ(list->ItemAt(1), &a);
    EXPECT_EQ(list->ItemAt(2), &b);
    EXPECT_EQ(list->ItemAt(3), &c);
    EXPECT_EQ(list->ItemAt(4), nullptr);
    EXPECT_EQ(list->ItemAt(-1), nullptr);
    EXPECT_EQ(list->IndexOf(&b), 2);
    EXPECT_EQ(list->Remove(&a), 1);
    EXPECT_EQ(list->IndexOf(&a), -1);
    EXPECT_EQ(list->Remove(&a), -1);
    list->DeleteRange(1, 10);
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->ItemAt(0), &d);
    EXPECT_EQ(list->ItemAt(1), nullptr);
    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(list->Capacity(), 0);
    Release(list);
}

TEST(StrList, HoldsEmptyTextsAndAnyBytesInOrder) {
    auto* list = new StrList();
    EXPECT_EQ(list->Item(0), "");
    const std::string binary("a\0b\r\n\xff", 6);
    EXPECT_EQ(list->Add("first"), 0);
    EXPECT_EQ(list->Add(""), 1);
    EXPECT_EQ(list->Add(binary), 2);
    list->Insert(0, "zero");
    list->Insert(7, "ignored");
    ASSERT_EQ(list->Count(), 4);
    EXPECT_EQ(list->Item(0), "zero");
    EXPECT_EQ(list->Item(1), "first");
    EXPECT_EQ(list->Item(2), "");
    EXPECT_EQ(list->Item(3), binary);
    EXPECT_EQ(list->Item(4), "");
    EXPECT_EQ(list->Item(-1), "");
    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(list->Item(0), "");
    list->Add("again");
    EXPECT_EQ(list->Item(0), "again");
    Release(list);
}

struct Receiver {
    std::vector<std::string> calls;
    void Clicked(int sender) { calls.push_back("member " + std::to_string(sender)); }
};

void FreeClicked(Receiver* receiver, int sender) {
    receiver->calls.push_back("free " + std::to_string(sender));
}

TEST(BoundHandler, CallsItsFunctionWithTheBoundObjectAndTheSenderAndNeverWhenUnset) {
    Receiver receiver;
    BoundHandler<int> unset;
    EXPECT_FALSE(unset.IsSet());
    unset(1);

    auto member = BoundHandler<int>::Bind<&Receiver::Clicked>(&receiver);
    auto free = BoundHandler<int>::Bind<&FreeClicked>(&receiver);
    EXPECT_TRUE(member.IsSet());
    EXPECT_EQ(member.BoundObject(), &receiver);
    member(2);
    free(3);
    EXPECT_EQ(receiver.calls, (std::vector<std::string>{"member 2", "free 3"}));
}

} // namespace
