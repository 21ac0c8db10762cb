#pragma once
// The reference-counted base object of the window object layer. Every control, menu, dialog and
// list, and the application's own form object, is a LayerObject.
//
// Lifetime: a new object has RefCount 0 and belongs to its creator; Retain adds 2, Release
// subtracts 2, and the Release that makes the count negative destroys the object. Code that uses
// an object across calls that might release it (a message handler, for instance) retains it
// first, so the object outlives a Release issued meanwhile and goes away at the balancing
// Release. Objects registered with ReleaseTogether are released when their owner is destroyed,
// oldest registration first.
#include "layer/bound_handler.h"

#include <cstdint>

class PointerList;
class LayerObject;

using ReleaseFunction = void (*)(LayerObject* object);

class LayerObject {
  public:
    LayerObject(const LayerObject&) = delete;
    LayerObject& operator=(const LayerObject&) = delete;

    int32_t RefCount = 0;
    // Called first when the object is destroyed; the sender is the object itself.
    BoundHandler<LayerObject*> DestroyHandler;
    // Pairs (release function, object), newest first; created on first use.
    PointerList* ReleaseList = nullptr;
    // Free for the application.
    int32_t UserValue = 0;

    // True from the moment the Release that destroys the object begins its Destroy.
    bool IsBeingDestroyed() const { return destroyStarted_; }

  protected:
    LayerObject() = default;
    // Objects live on the heap and end through Release only.
    virtual ~LayerObject() = default;

    // Runs DestroyHandler and releases everything registered with this object, then frees it.
    // Kinds that own more override it and end by freeing the object themselves.
    virtual void Destroy();

    // The common part of every Destroy: DestroyHandler, then the ReleaseList, oldest pair first,
    // then the list itself.
    void ReleaseOwnedObjects();

  private:
    bool destroyStarted_ = false;
    friend void Release(LayerObject* object);
};

void Retain(LayerObject* object);

// Does nothing for a null object. Destroys the object when its count goes negative.
void Release(LayerObject* object);

// Registers object to be released when owner is destroyed.
void ReleaseTogether(LayerObject* owner, LayerObject* object);

// Takes object out of owner's ReleaseList (with its release function) without releasing it.
void RemoveFromReleaseList(LayerObject* owner, LayerObject* object);
