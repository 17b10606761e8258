#pragma once
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace rid {

// A comparable event handler: an object with one of its member functions, a free function,
// or a callable. Two delegates are equal when they bind the same object and the same
// function (callables: the same stored instance), so handler lists can find and remove them.
template <typename Signature>
class Delegate;

template <typename R, typename... Args>
class Delegate<R(Args...)> {
 public:
  Delegate() = default;
  Delegate(std::nullptr_t) {}

  template <typename T>
  Delegate(T* Object, R (T::*Method)(Args...)) : FObject(Object), FThunk(&MemberThunk<T>) {
    Store(Method);
  }
  template <typename T>
  Delegate(const T* Object, R (T::*Method)(Args...) const)
      : FObject(const_cast<T*>(Object)), FThunk(&ConstMemberThunk<T>) {
    Store(Method);
  }
  Delegate(R (*Function)(Args...)) : FThunk(Function ? &FunctionThunk : nullptr) {
    if (Function) Store(Function);
  }
  // Any other callable (a lambda): equal only to copies of this same delegate.
  template <typename F, typename = std::enable_if_t<
                            !std::is_pointer_v<std::decay_t<F>> &&
                            !std::is_same_v<std::decay_t<F>, Delegate> &&
                            std::is_invocable_r_v<R, F&, Args...>>>
  Delegate(F&& Callable)
      : FCallable(std::make_shared<std::function<R(Args...)>>(std::forward<F>(Callable))),
        FThunk(&CallableThunk) {
    FObject = FCallable.get();
  }

  explicit operator bool() const { return FThunk != nullptr; }
  bool Assigned() const { return FThunk != nullptr; }
  void Clear() { *this = Delegate(); }
  const void* Object() const { return FObject; }

  R operator()(Args... args) const { return FThunk(*this, std::forward<Args>(args)...); }

  bool operator==(const Delegate& O) const {
    return FThunk == O.FThunk && FObject == O.FObject &&
           std::memcmp(FStorage, O.FStorage, sizeof FStorage) == 0;
  }
  bool operator==(std::nullptr_t) const { return FThunk == nullptr; }

 private:
  using Thunk = R (*)(const Delegate&, Args&&...);
  // Large enough for a member function pointer under the common ABIs.
  alignas(std::max_align_t) unsigned char FStorage[2 * sizeof(void*) + sizeof(void*)] = {};

  template <typename P>
  void Store(P p) {
    static_assert(sizeof(P) <= sizeof FStorage, "member pointer too large");
    std::memcpy(FStorage, &p, sizeof(P));
  }
  template <typename P>
  P Load() const {
    P p;
    std::memcpy(&p, FStorage, sizeof(P));
    return p;
  }

  template <typename T>
  static R MemberThunk(const Delegate& d, Args&&... args) {
    auto m = d.template Load<R (T::*)(Args...)>();
    return (static_cast<T*>(d.FObject)->*m)(std::forward<Args>(args)...);
  }
  template <typename T>
  static R ConstMemberThunk(const Delegate& d, Args&&... args) {
    auto m = d.template Load<R (T::*)(Args...) const>();
    return (static_cast<const T*>(d.FObject)->*m)(std::forward<Args>(args)...);
  }
  static R FunctionThunk(const Delegate& d, Args&&... args) {
    return d.template Load<R (*)(Args...)>()(std::forward<Args>(args)...);
  }
  static R CallableThunk(const Delegate& d, Args&&... args) {
    return (*d.FCallable)(std::forward<Args>(args)...);
  }

  void* FObject = nullptr;
  std::shared_ptr<std::function<R(Args...)>> FCallable;
  Thunk FThunk = nullptr;
};

}  // namespace rid
