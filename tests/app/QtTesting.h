// The Qt backend in-process on Qt's offscreen platform: a QApplication for the suite, and
// for each test a backend installed as the toolbox's with its frame window.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <memory>

#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/qt/QtBackend.h"

class QtFixture : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // QApplication takes the arguments it knows out of argv, so every suite sets them anew.
    static int argc;
    static char arg0[] = "test", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[4];
    argc = 3;
    argv[0] = arg0;
    argv[1] = arg1;
    argv[2] = arg2;
    argv[3] = nullptr;
    app = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app;
    app = nullptr;
  }
  void SetUp() override {
    backend = std::make_unique<QtUi::QtBackend>();
    Toolbox::InstallBackend(backend.get());
    Toolbox::Init();
    ASSERT_TRUE(Events::InitEventQueue());
    ASSERT_TRUE(backend->CreateFrame("Test", 760, 570));
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<QMainWindow*>(w)) frame = m;
    ASSERT_NE(frame, nullptr);
  }
  void TearDown() override {
    Toolbox::Shutdown();
    backend->DestroyFrame();
    Events::FreeEventQueue();
    Toolbox::InstallBackend(nullptr);
    backend.reset();
  }

  static inline QApplication* app = nullptr;
  std::unique_ptr<QtUi::QtBackend> backend;
  QMainWindow* frame = nullptr;
};
