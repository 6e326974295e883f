#include "compiler/Compiler.h"

#include <cstring>
#include <new>

#include "base/Charset.h"
#include "compiler/Backend.h"
#include "compiler/Checker.h"
#include "compiler/SymbolFile.h"
#include "modules/NativeModules.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

namespace Compiler {

namespace {

using Check::Fail;

constexpr std::size_t kMaxImportDepth = 40;
constexpr std::int64_t kMaxDefinitionFile = 16 << 20;

std::string TextOf(Buffer::Ref text) {
  std::string s;
  const std::int32_t count = Lines::Count(text);
  for (std::int32_t n = 1; n <= count; ++n) {
    s.append(Lines::View(text, n));
    s.push_back('\n');
  }
  return s;
}

std::string PathIn(Buffer::Ref dir, std::string_view leaf) {
  char full[261] = {};
  Buffer::FullName(dir, full);
  std::string path = base::ToString(full);
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(leaf);
  return path;
}

Buffer::Ref WriteBlock(Buffer::Ref dir, const std::string& leaf,
                       const std::vector<std::uint8_t>& data) {
  Buffer::Ref b = Buffer::Create(PathIn(dir, leaf), Buffer::BufferKind::Block);
  if (b == nullptr || data.empty()) return b;
  void* p = Buffer::AllocateData(b, std::int32_t(data.size()));
  if (p == nullptr) return nullptr;
  std::memcpy(p, data.data(), data.size());
  return b;
}

// The host file name.def, read as a text is loaded (base/Charset.h), or false when
// there is none.
bool ReadHostFile(const std::string& name, std::string& text) {
  FileSystem::File f;
  if (!FileSystem::Open(name, FileSystem::kRead, f)) return false;
  std::int64_t size = 0;
  bool ok = FileSystem::Size(f, size) && size <= kMaxDefinitionFile;
  if (ok) {
    text.resize(std::size_t(size));
    std::size_t at = 0;
    while (ok && at < text.size()) {
      std::int32_t count = std::int32_t(text.size() - at);
      ok = FileSystem::Read(f, count, std::span<char>(text.data() + at, text.size() - at));
      at += std::size_t(count);
    }
  }
  (void)FileSystem::Close(f);
  if (ok) {
    std::string characters;
    Charset::FromHostText(text, characters);
    text = std::move(characters);
  }
  return ok;
}

// One compilation: the context shared with the definitions it imports.
class Session {
public:
  Session(Ast::CompilationUnit& unit, const Directories& dirs) : dirs_(dirs) {
    Check::InitContext(ctx_, unit);
    ctx_.load = [this](std::string_view name, Ast::Pos pos) { return Load(name, pos); };
  }
  Check::Context& Context() { return ctx_; }

private:
  Ast::Module* Load(std::string_view name, Ast::Pos pos);
  Ast::Module* Definition(const std::string& source, std::string_view name,
                          const std::string& origin, Ast::Pos pos, const Ast::Key* fixedKey);

  Check::Context ctx_;
  Directories dirs_;
};

Ast::Module* Session::Load(std::string_view name, Ast::Pos pos) {
  for (std::string_view loading : ctx_.loading)
    if (loading == name) Fail(pos, "definition modules import each other: " + std::string(name));
  auto found = ctx_.modules.find(name);
  if (found != ctx_.modules.end()) return found->second;
  if (ctx_.loading.size() >= kMaxImportDepth) Fail(pos, "imports nested too deeply");
  const std::string leaf(name);
  ctx_.loading.push_back(name);
  Ast::Module* m = nullptr;
  Buffer::Ref sym =
      dirs_.symbols != nullptr ? Buffer::Find(PathIn(dirs_.symbols, leaf + ".sym")) : nullptr;
  Buffer::Ref def = nullptr;
  std::string text;
  if (sym != nullptr && Buffer::KindOf(sym) == Buffer::BufferKind::Block) {
    Buffer::BufferKind kind;
    void* data = nullptr;
    std::int32_t size = 0;
    Buffer::GetInfo(sym, kind, data, size);
    m = SymbolFile::Read(ctx_, name, static_cast<const std::uint8_t*>(data),
                         data != nullptr && size > 0 ? std::size_t(size) : 0, pos);
  } else if (const Native::ModuleSpec* spec = Native::Find(leaf)) {
    m = Definition(spec->definition != nullptr ? spec->definition : "", name, leaf, pos,
                   &spec->key);
    if (m->procedures.size() != spec->procedures.size())
      Fail(pos, "definition of " + leaf + " does not match its native procedures");
  } else if ((def = Buffer::Find(leaf + ".def")) != nullptr &&
             Buffer::KindOf(def) == Buffer::BufferKind::Text) {
    m = Definition(TextOf(def), name, leaf + ".def", pos, nullptr);
  } else if (ReadHostFile(leaf + ".def", text)) {
    m = Definition(text, name, leaf + ".def", pos, nullptr);
  } else {
    Fail(pos, "module not found: " + leaf);
  }
  ctx_.loading.pop_back();
  ctx_.modules[m->name] = m;
  return m;
}

// Compiles a definition text met as an import; its errors are reported at the import,
// with the place in the definition.
Ast::Module* Session::Definition(const std::string& source, std::string_view name,
                                 const std::string& origin, Ast::Pos pos,
                                 const Ast::Key* fixedKey) {
  const auto where = [&](Ast::Pos at) {
    return origin + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": ";
  };
  Syntax::Error error;
  Syntax::Node* root = Syntax::Parse(ctx_.arena->Copy(source), *ctx_.arena, error);
  if (root == nullptr) Fail(pos, where(error.pos) + error.message);
  if (static_cast<Ast::ModuleKind>(root->op) != Ast::ModuleKind::Definition || root->name != name)
    Fail(pos, origin + " is not the definition module " + std::string(name));
  Ast::Module* m = nullptr;
  try {
    m = Check::CheckUnit(ctx_, root, nullptr);
  } catch (const Check::Failure& f) {
    Fail(pos, where(f.pos) + f.message);
  }
  const std::vector<std::uint8_t> data = SymbolFile::Write(ctx_, m);
  m->key = fixedKey != nullptr ? *fixedKey : SymbolFile::KeyOf(data);
  if (fixedKey == nullptr && dirs_.symbols != nullptr &&
      WriteBlock(dirs_.symbols, std::string(name) + ".sym", data) == nullptr)
    Fail(pos, "could not write " + std::string(name) + ".sym");
  return m;
}

void SetError(Result& result, Ast::Pos pos, const std::string& message) {
  result.ok = false;
  result.line = pos.line > 0 ? pos.line : 1;
  result.column = pos.column > 0 ? pos.column : 1;
  result.message = message.substr(0, 79);
}

} // namespace

std::unique_ptr<Ast::CompilationUnit> Check(std::string_view source, const Directories& dirs,
                                            Result& result) {
  result = Result{};
  auto unit = std::make_unique<Ast::CompilationUnit>();
  try {
    Session session(*unit, dirs);
    Check::Context& ctx = session.Context();
    Syntax::Error error;
    Syntax::Node* root = Syntax::Parse(source, *unit->arena, error);
    if (root == nullptr) {
      SetError(result, error.pos, error.message);
      return nullptr;
    }
    result.kind = static_cast<Ast::ModuleKind>(root->op);
    result.module = std::string(root->name);
    if (result.kind == Ast::ModuleKind::Definition) ctx.loading.push_back(root->name);
    Ast::Module* m = Check::CheckUnit(ctx, root, unit.get());
    if (result.kind == Ast::ModuleKind::Definition) {
      result.symbolData = SymbolFile::Write(ctx, m);
      m->key = unit->key = SymbolFile::KeyOf(result.symbolData);
    }
  } catch (const Check::Failure& f) {
    SetError(result, f.pos, f.message);
    return nullptr;
  } catch (const std::bad_alloc&) {
    SetError(result, Ast::Pos{1, 1}, "out of memory");
    return nullptr;
  }
  result.ok = true;
  return unit;
}

Result CompileSource(std::string_view source, const Directories& dirs) {
  Result result;
  std::unique_ptr<Ast::CompilationUnit> unit = Check(source, dirs, result);
  if (unit == nullptr) return result;
  if (result.kind == Ast::ModuleKind::Definition) {
    if (dirs.symbols != nullptr) {
      result.symbol = WriteBlock(dirs.symbols, result.module + ".sym", result.symbolData);
      if (result.symbol == nullptr)
        SetError(result, unit->module->pos, "could not write " + result.module + ".sym");
    }
    return result;
  }
  Backend::Result generated;
  if (!Backend::Generate(*unit, generated)) {
    SetError(result, generated.pos, generated.message);
    return result;
  }
  result.objectData = std::move(generated.object);
  if (dirs.objects != nullptr) {
    result.object = WriteBlock(dirs.objects, result.module + ".obj", result.objectData);
    if (result.object == nullptr)
      SetError(result, unit->module->pos, "could not write " + result.module + ".obj");
  }
  return result;
}

Result Compile(Buffer::Ref text, const Directories& dirs) {
  if (text == nullptr || Buffer::KindOf(text) != Buffer::BufferKind::Text) {
    Result result;
    SetError(result, Ast::Pos{1, 1}, "not a text");
    return result;
  }
  return CompileSource(TextOf(text), dirs);
}

} // namespace Compiler
