#pragma once
// An editor shown on the screen, driven by real key presses, input-method results and commands.
#include <QApplication>
#include <QInputMethodEvent>
#include <QtTest/QTest>
#include <memory>
#include <string>

#include "editor/RidEder.h"

namespace rid::test {

struct TShownEder {
  std::unique_ptr<TRidEder> Owned = std::make_unique<TRidEder>(nullptr);  // a test may free it
  TRidEder& Ed = *Owned;
  TShownEder() {
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
  }
  std::string Saved() const { return Ed.GetLines()->SaveToBytes(); }
  void Key(Qt::Key K, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QTest::keyClick(Ed.ClientWidget(), K, Mods);
  }
  void Commit(const std::string& Utf8) {
    QInputMethodEvent e;
    e.setCommitString(QString::fromStdString(Utf8));
    QApplication::sendEvent(Ed.ClientWidget(), &e);
  }
  void Run(TRidEderorCommand C, char Ch = '\0', void* Data = nullptr) {
    Ed.CommandProcessor(C, Ch, Data);
  }
};

}  // namespace rid::test
