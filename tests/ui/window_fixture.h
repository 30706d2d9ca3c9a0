#pragma once
// A fresh main window for each test: its own temporary working directory, message boxes and
// file dialogs answered by recorders, and helpers for focus and typing.

#include "ui/Frmabout.h"
#include "ui/Frmmain.h"
#include "ui/file_dialogs.h"
#include "ui/message_box.h"
#include "ui/process_objects.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    FPreviousDirectory = std::filesystem::current_path();
    char pattern[] = "/tmp/kx470-ui-XXXXXX";
    Directory = mkdtemp(pattern);
    std::filesystem::current_path(Directory);
    // No serial port is probed unless a test points the poll at one.
    setenv("KX470_PORTS", (Directory / "no-such-port").c_str(), 1);
    SetMessageResponder([this](const TMessageRequest& request) -> int {
      Messages.push_back(request);
      if (!Answers.empty()) {
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
      }
      return (request.Flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
    });
    SetDialogResponder([this](const TFileDialog& dialog) -> std::optional<QString> {
      Dialogs.push_back(&dialog);
      if (DialogAnswers.empty())
        return std::nullopt;
      const std::optional<QString> answer = DialogAnswers.front();
      DialogAnswers.pop_front();
      return answer;
    });
  }

  void TearDown() override {
    if (Window)
      Window->close();
    About.reset();
    Window.reset();
    Process.reset();
    SetMessageResponder({});
    SetDialogResponder({});
    std::filesystem::current_path(FPreviousDirectory);
    std::error_code ignored;
    std::filesystem::remove_all(Directory, ignored);
  }

  // Creates and shows the window; its show handler runs the start-up sequence.
  TfmMain& ShowWindow() {
    Process = std::make_unique<TProcessObjects>();
    Window = std::make_unique<TfmMain>(*Process);
    About = std::make_unique<TfmAbout>(Window.get());
    Window->fmAbout = About.get();
    Window->show();
    QApplication::setActiveWindow(Window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    return *Window;
  }

  // Gives the focus to a control the way a click or Tab would.
  void Focus(QWidget* control) {
    control->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
  }

  // Types text into the control that has the focus, one key press per character.
  void Type(QWidget* control, const QString& text) {
    for (const QChar c : text)
      QTest::keyClicks(control, QString(c));
  }
  void PressEnter(QWidget* control) { QTest::keyClick(control, Qt::Key_Return); }
  void PressBackspace(QWidget* control) { QTest::keyClick(control, Qt::Key_Backspace); }

  // Leaves the focused control for the focus sink, as a mouse move over the background does.
  void Leave() {
    Window->FocusNull();
    QApplication::processEvents();
  }

  std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void WriteBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  void WriteImage(const std::filesystem::path& path, const TImageBytes& bytes) {
    WriteBytes(path, bytes.data(), bytes.size());
  }

  // Texts of every message box shown so far.
  std::vector<QString> MessageTexts() const {
    std::vector<QString> texts;
    for (const auto& m : Messages)
      texts.push_back(m.Text);
    return texts;
  }

  std::filesystem::path Directory;
  std::unique_ptr<TProcessObjects> Process;
  std::unique_ptr<TfmMain> Window;
  std::unique_ptr<TfmAbout> About;
  std::vector<TMessageRequest> Messages;
  std::deque<int> Answers; // answers for the next message boxes
  std::vector<const TFileDialog*> Dialogs;
  std::deque<std::optional<QString>> DialogAnswers; // chosen paths; nullopt cancels

private:
  std::filesystem::path FPreviousDirectory;
};
