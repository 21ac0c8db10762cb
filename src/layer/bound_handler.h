#pragma once
// An event slot of the window object layer: a function plus the object it is bound to. Raising
// the event calls the function with that object as its context and the raising object (the
// sender) as the first argument. A handler whose function part is null is unset and is never
// called.
#include <type_traits>

template <class... Args> class BoundHandler {
  public:
    BoundHandler() = default;

    // Binds Method to object. Method is either a member function of Object, called as
    // (object->*Method)(args...), or a free function called as Method(object, args...).
    template <auto Method, class Object> static BoundHandler Bind(Object* object) {
        BoundHandler handler;
        handler.object_ = object;
        handler.function_ = [](void* context, Args... args) {
            Object* target = static_cast<Object*>(context);
            if constexpr (std::is_member_function_pointer_v<decltype(Method)>) {
                (target->*Method)(args...);
            } else {
                Method(target, args...);
            }
        };
        return handler;
    }

    bool IsSet() const { return function_ != nullptr; }
    void* BoundObject() const { return object_; }

    // Calls the bound function unless the handler is unset.
    void operator()(Args... args) const {
        if (function_ != nullptr) {
            function_(object_, args...);
        }
    }

    friend bool operator==(const BoundHandler&, const BoundHandler&) = default;

  private:
    using Trampoline = void (*)(void* context, Args... args);
    Trampoline function_ = nullptr;
    void* object_ = nullptr;
};
