// The module Graphics of compiled programs, called as compiled code calls it: a
// Native::Call with the parameter words of the procedure heading.
#include "programs/GraphicsModule.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GraphicsTesting.h"
#include "editwin/Menus.h"
#include "vm/Trap.h"

namespace {

std::uint64_t W(const void* p) { return reinterpret_cast<std::uint64_t>(p); }
std::uint64_t R(double x) { return std::bit_cast<std::uint64_t>(x); }

class GraphicsModuleTest : public GraphicsFixture {
protected:
  // The program's windows close as its own do, taking the Graphics menu along.
  void TearDown() override {
    for (Graphics::GraphWindow* w : Graphics::GraphWindows()) {
      std::uint64_t handle = w->id;
      Call("CloseWindow", {W(&handle)});
    }
    GraphicsFixture::TearDown();
  }
  static std::uint64_t Call(const char* name, std::vector<std::uint64_t> args = {}) {
    static const Native::ModuleSpec spec = GraphicsModule::Spec();
    for (const Native::Procedure& p : spec.procedures) {
      if (std::strcmp(p.name, name) != 0) continue;
      EXPECT_EQ(static_cast<std::size_t>(p.words), args.size()) << name;
      Native::Call call;
      call.args = args.data();
      call.count = static_cast<std::int32_t>(args.size());
      p.proc(call);
      return call.result;
    }
    ADD_FAILURE() << name << " missing";
    return 0;
  }
  static std::string Trapped(const char* name, std::vector<std::uint64_t> args) {
    try {
      Call(name, std::move(args));
    } catch (const Vm::TrapSignal& t) {
      return t.message;
    }
    return "";
  }
  static std::uint64_t OpenWindow() {
    static const char title[] = "Plot";
    return Call("OpenWindow", {W(title), sizeof title - 1, 0, 30, 102, 102});
  }
  static bool MenuInBar() {
    for (const Toolbox::Menu* m : Toolbox::MenuBar())
      if (m->title == "Graphics") return true;
    return false;
  }
};

TEST_F(GraphicsModuleTest, ProgramsDrawThroughHandles) {
  const std::uint64_t w = OpenWindow();
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(MenuInBar());
  const std::uint64_t port = Call("WindowPort", {w});
  Call("SetWorld", {R(0), R(0), R(1), R(1)});
  std::int32_t h = 0, v = 0;
  Call("WorldToPixel", {R(1), R(1), W(&h), W(&v)});
  EXPECT_EQ(Point(h, v), (Point{101, 1}));
  // 16-bit samples in the bytes of any variable, on the second transform.
  const std::int16_t shorts[] = {-32767, 32767};
  Call("PlotTraceShort", {port, R(-32767), R(2 * 65534.0), W(shorts), sizeof shorts - 1, 2, 1, 0});
  EXPECT_EQ(Lines(), (std::vector<Segment>{{{1, 101}, {101, 1}}}));
  const double reals[] = {0.5, 0.5, 0.5};
  EXPECT_EQ(Trapped("PlotTrace", {port, R(0), R(1), W(reals), 2, 4, 1, 0}),
            "sample count beyond the array");
}

TEST_F(GraphicsModuleTest, HandlesThatAreNotOpenTrap) {
  EXPECT_EQ(Trapped("WindowPort", {0}), "invalid graphics window");
  EXPECT_EQ(Trapped("SetGraphPort", {0xDEADBEEF}), "invalid graphics port");
  EXPECT_EQ(Trapped("SetWorld", {R(0), R(0), R(1), R(1)}), "no graphics port");
  std::uint64_t w = OpenWindow();
  const std::uint64_t port = Call("WindowPort", {w});
  const std::uint64_t old = w;
  Call("CloseWindow", {W(&w)});
  EXPECT_EQ(w, 0u);
  EXPECT_FALSE(MenuInBar());
  EXPECT_EQ(Trapped("SavePicture", {old, W("x"), 1}), "invalid graphics window");
  const double reals[] = {0, 1};
  EXPECT_EQ(Trapped("PlotTrace", {port, R(0), R(1), W(reals), 1, 2, 1, 0}),
            "invalid graphics port");
}

TEST_F(GraphicsModuleTest, TheGraphicsMenuSavesAndClosesTheFrontWindow) {
  std::uint64_t w = OpenWindow();
  Call("WorldLine", {R(0), R(0), R(1), R(1)});
  std::int32_t menu = 0;
  for (const Toolbox::Menu* m : Toolbox::MenuBar())
    if (m->title == "Graphics") menu = m->id;
  ASSERT_NE(menu, 0);
  const std::string path = testing::TempDir() + "menu-picture.png";
  backend.AnswerFileName(true, path);
  Menus::MenuCommand(static_cast<std::uint32_t>(menu) * 65536 + 1);
  std::FILE* f = std::fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char first[64] = {};
  ASSERT_NE(std::fgets(first, sizeof first, f), nullptr);
  std::fclose(f);
  std::remove(path.c_str());
  EXPECT_STREQ(first, "Picture 0 0 102 102\n");
  backend.AnswerFileName(true, "/nonexistent-dir/x.png");
  Menus::MenuCommand(static_cast<std::uint32_t>(menu) * 65536 + 1);
  ASSERT_FALSE(backend.AlertLog().empty());
  EXPECT_EQ(backend.AlertLog().back().rfind("Picture not saved: ", 0), 0u);
  Menus::MenuCommand(static_cast<std::uint32_t>(menu) * 65536 + 2);
  EXPECT_EQ(Trapped("WindowPort", {w}), "invalid graphics window");
  EXPECT_FALSE(MenuInBar());
}

} // namespace
