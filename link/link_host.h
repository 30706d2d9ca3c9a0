#pragma once
// What the link needs from whoever runs it (the window, the command-line tool, a test): a way
// to keep the user interface alive while waiting, the status texts, the progress bar, message
// boxes, and the window's switches.

#include <functional>
#include <string>

struct TLinkHost {
  std::function<void()> DispatchEvents;                         // serve pending window events
  std::function<void(int panel, const std::string&)> SetStatus; // status panels 0..2
  std::function<void(int maximum)> SetProgressRange;            // range 0..maximum
  std::function<void(int position)> SetProgress;
  std::function<int()> Progress;
  std::function<void(const std::string&)> Message; // a modal message box
  std::function<void(bool)> EnableWindow;
  std::function<void(bool)> EnablePagerMenu;
  std::function<void(bool)> EnableLinkButton;
  std::function<void(bool)> SetPoll;                         // the presence poll on or off
  std::function<void(const std::string&)> SetIdentification; // the identification label
};

// Every callback the caller left empty does nothing (Progress gives 0).
void CompleteHost(TLinkHost& host);
