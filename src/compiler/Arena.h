// The memory of one compilation: every node of the syntax tree, the checked tree and the
// imported symbols, released together with the unit. Names are interned, so two names
// are equal exactly when their characters are at the same address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

namespace Ast {

class Arena {
public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() {
    for (auto it = destructors_.rbegin(); it != destructors_.rend(); ++it) it->run(it->object);
    for (char* c : chunks_) ::operator delete(c);
  }

  // A new T built from args; it lives as long as the arena.
  template <class T, class... A> T* New(A&&... args) {
    T* t = new (Allocate(sizeof(T), alignof(T))) T(std::forward<A>(args)...);
    if constexpr (!std::is_trivially_destructible_v<T>)
      destructors_.push_back({t, [](void* p) { static_cast<T*>(p)->~T(); }});
    return t;
  }

  // The one copy of these characters (followed by a 0 that the view leaves out).
  std::string_view Intern(std::string_view s) {
    auto found = names_.find(s);
    if (found != names_.end()) return *found;
    std::string_view copy = Copy(s);
    names_.insert(copy);
    return copy;
  }

  // A copy of the characters followed by a 0, not interned.
  std::string_view Copy(std::string_view s) {
    char* p = static_cast<char*>(Allocate(s.size() + 1, 1));
    if (!s.empty()) std::char_traits<char>::copy(p, s.data(), s.size());
    p[s.size()] = 0;
    return std::string_view(p, s.size());
  }

  void* Allocate(std::size_t size, std::size_t align) {
    std::size_t at = (used_ + align - 1) & ~(align - 1);
    if (chunks_.empty() || at + size > chunkSize_) {
      chunkSize_ = size > kChunk / 4 ? size : kChunk;
      chunks_.push_back(static_cast<char*>(::operator new(chunkSize_)));
      at = 0;
    }
    used_ = at + size;
    return chunks_.back() + at;
  }

private:
  static constexpr std::size_t kChunk = 64 * 1024;
  struct Destructor {
    void* object;
    void (*run)(void*);
  };
  std::vector<char*> chunks_;
  std::size_t chunkSize_ = 0;
  std::size_t used_ = 0;
  std::vector<Destructor> destructors_;
  std::unordered_set<std::string_view> names_;
};

} // namespace Ast
