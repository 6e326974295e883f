// Opening and first painting a dialog of 200 items on the Qt backend, against a Qt
// program's QDialog with 200 comparable native widgets, in the same run on Qt's
// offscreen platform: the dialog may take at most 1.5 times the QDialog. Both count
// from nothing to the window's pixels on the screen; closing is not counted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <array>
#include <memory>

#include "dialog/Dialog.h"
#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/qt/QtBackend.h"
#include "store/Buffer.h"

namespace {

using Dialog::ItemKind;

constexpr std::int16_t kItems = 200;
constexpr int kColumns = 10;
constexpr int kWidth = 76, kHeight = 20, kRowPitch = 24; // points
constexpr std::array kKinds = {ItemKind::Button,      ItemKind::CheckBox, ItemKind::RadioButton,
                               ItemKind::Text,        ItemKind::EditText, ItemKind::Drag,
                               ItemKind::List,        ItemKind::Switch,   ItemKind::FramedText,
                               ItemKind::FramedNumber};

struct Values {
  bool flags[kItems + 1] = {};
  double numbers[kItems + 1] = {};
  std::int32_t choices[kItems + 1] = {};
  char texts[kItems + 1][16] = {};
};
Values values;

void Layout(Dialog::DialogRecord& d) {
  for (std::int16_t i = 1; i <= kItems; ++i) {
    const ItemKind kind = kKinds[static_cast<std::size_t>(i - 1) % kKinds.size()];
    const int left = 8 + ((i - 1) % kColumns) * (kWidth + 4);
    const int bottom = 8 + ((i - 1) / kColumns + 1) * kRowPitch;
    Dialog::DefineItem(d, i, kind, "item", false, "Item", left, bottom, kWidth, kHeight);
    switch (kind) {
    case ItemKind::EditText:
    case ItemKind::Text:
    case ItemKind::FramedText:
      std::snprintf(values.texts[i], sizeof values.texts[i], "text %d", i);
      Dialog::BindText(d, i, values.texts[i], 15);
      break;
    case ItemKind::Drag:
    case ItemKind::FramedNumber:
      values.numbers[i] = i / 8.0;
      Dialog::BindValue(d, i, &values.numbers[i], Dialog::ValueType::Real64);
      Dialog::SetNumber(d, i, "", Dialog::NumberFormat::Fixed, Dialog::ValueType::Real64, 7, 2,
                        0.01, 0, 100, 1, false, 0);
      break;
    case ItemKind::List:
      Dialog::InitList(d, i, 0, "");
      Dialog::AddListEntry(d, i, "slow");
      Dialog::AddListEntry(d, i, "medium");
      Dialog::AddListEntry(d, i, "fast");
      Dialog::BindValue(d, i, &values.choices[i], Dialog::ValueType::Int32);
      break;
    default:
      values.flags[i] = i % 3 == 0;
      Dialog::BindValue(d, i, &values.flags[i], Dialog::ValueType::Boolean);
      break;
    }
  }
}

void BM_VelmarinDialog(benchmark::State& state) {
  static Dialog::DialogItem* items[kItems + 1];
  for (auto _ : state) {
    Dialog::DialogRecord d;
    if (!Dialog::Init(d, items, kItems, false, false, "Two hundred", "Bench", 1, 9, kItems, 10,
                      24 + 21 * kRowPitch, 10 * (kWidth + 4) + 16, 21 * kRowPitch + 16, 0)) {
      state.SkipWithError("Init failed");
      return;
    }
    if (!Dialog::Open(d, Toolbox::kDocumentWindow, Layout, nullptr, false, Dialog::WindowOptions{},
                      false)) {
      state.SkipWithError("Open failed");
      return;
    }
    Toolbox::FlushWindow(d.window);
    QCoreApplication::processEvents();
    state.PauseTiming();
    Dialog::Dispose(d);
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}

QWidget* NativeWidget(ItemKind kind, QWidget* parent, int i) {
  switch (kind) {
  case ItemKind::Button:
    return new QPushButton("Item", parent);
  case ItemKind::CheckBox: {
    auto* w = new QCheckBox("Item", parent);
    w->setChecked(i % 3 == 0);
    return w;
  }
  case ItemKind::RadioButton: {
    auto* w = new QRadioButton("Item", parent);
    w->setChecked(i % 3 == 0);
    return w;
  }
  case ItemKind::Text:
    return new QLabel(QString("text %1").arg(i), parent);
  case ItemKind::EditText:
    return new QLineEdit(QString("text %1").arg(i), parent);
  case ItemKind::Drag: {
    auto* w = new QDoubleSpinBox(parent);
    w->setRange(0, 100);
    w->setValue(i / 8.0);
    return w;
  }
  case ItemKind::List: {
    auto* w = new QComboBox(parent);
    w->addItems({"slow", "medium", "fast"});
    return w;
  }
  case ItemKind::Switch: {
    auto* w = new QPushButton("Item", parent);
    w->setCheckable(true);
    w->setChecked(i % 3 == 0);
    return w;
  }
  default: {
    auto* w = new QLabel(QString::number(i / 8.0, 'f', 2), parent);
    w->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return w;
  }
  }
}

void BM_QtDialog(benchmark::State& state) {
  const double s = QGuiApplication::primaryScreen()->logicalDotsPerInch() * 0.9 / 72.0;
  auto px = [s](int points) { return int(points * s + 0.5); };
  for (auto _ : state) {
    auto dialog = std::make_unique<QDialog>();
    dialog->setWindowTitle("Two hundred");
    for (int i = 1; i <= kItems; ++i) {
      QWidget* w =
          NativeWidget(kKinds[static_cast<std::size_t>(i - 1) % kKinds.size()], dialog.get(), i);
      const int left = 8 + ((i - 1) % kColumns) * (kWidth + 4);
      const int top = 8 + ((i - 1) / kColumns + 1) * kRowPitch - kHeight;
      w->setGeometry(px(left), px(top), px(kWidth), px(kHeight));
    }
    dialog->resize(px(10 * (kWidth + 4) + 16), px(21 * kRowPitch + 16));
    dialog->show();
    dialog->repaint();
    QCoreApplication::processEvents();
    state.PauseTiming();
    dialog.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}

BENCHMARK(BM_VelmarinDialog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtDialog)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QtUi::QtBackend backend;
  Toolbox::InstallBackend(&backend);
  Toolbox::Init();
  Buffer::Init();
  if (!Events::InitEventQueue() || !backend.CreateFrame("Bench", 1100, 800)) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Toolbox::Shutdown();
  return 0;
}
