// kx470u's command line: --help and --version without a display, and arguments it does not
// take refused before a window opens, with nothing written.

#include "cli_run.h"
#include "image/table_file.h"
#include "synth/synth_ini.h"

#include <gtest/gtest.h>

namespace {

const std::string kWindowProgram = KX470_BINARY_DIR "/kx470u";

// kx470u with `arguments` in `directory`; `display` "" runs it with no display at all.
TRun WindowProgram(const std::string& arguments,
                   const fs::path& directory = fs::temp_directory_path(),
                   const std::string& display = "") {
  std::string command =
      "cd '" + directory.string() + "' && timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY";
  command += display.empty() ? " -u QT_QPA_PLATFORM" : " QT_QPA_PLATFORM=" + display;
  return RunShell(command + " " + kWindowProgram + " " + arguments);
}

TEST(TWindowProgram, HelpAndVersionNeedNoDisplay) {
  const TRun help = WindowProgram("--help");
  EXPECT_EQ(help.Exit, 0) << help.Err;
  EXPECT_EQ(help.Err, "");
  const std::vector<std::string> lines = Lines(help.Out);
  ASSERT_FALSE(lines.empty());
  // The usage names the program, not the path it was started by.
  EXPECT_EQ(lines.front(), "Usage: kx470u [options]");
  for (const std::string option : {"  -h, --help", "  --version"}) {
    bool listed = false;
    for (const auto& line : lines)
      listed = listed || line.rfind(option + " ", 0) == 0;
    EXPECT_TRUE(listed) << option << " is not listed in\n" << help.Out;
  }
  for (const std::string& told :
       {std::string("KX470_PORTS"), std::string(kDefaultTableName), std::string(kSynthIniName)})
    EXPECT_NE(help.Out.find(told), std::string::npos) << told << " is not told in\n" << help.Out;

  const TRun shortHelp = WindowProgram("-h");
  EXPECT_EQ(shortHelp.Exit, 0);
  EXPECT_EQ(shortHelp.Out, help.Out);

  // Qt's own options may stand before them, as a desktop's launcher may put them.
  const TRun version = WindowProgram("-platform offscreen --version");
  EXPECT_EQ(version.Exit, 0) << version.Err;
  EXPECT_EQ(version.Out.rfind("kx470u ", 0), 0u) << version.Out;
  EXPECT_EQ(version.Out, WindowProgram("--version").Out);
}

TEST(TWindowProgram, RefusesWhatItDoesNotTakeBeforeAWindowOpens) {
  char pattern[] = "/tmp/kx470u-args-XXXXXX";
  const fs::path dir = ::mkdtemp(pattern);
  struct TCase {
    std::string Arguments, Told;
  };
  for (const TCase& c : {TCase{"--bogus", "Unknown option 'bogus'."},
                         TCase{"site.tbl", "unexpected argument \"site.tbl\""},
                         // Qt takes its own options out first: what is left is refused.
                         TCase{"-platform offscreen -style fusion extra", "\"extra\""}}) {
    const TRun run = WindowProgram(c.Arguments, dir, "offscreen");
    EXPECT_EQ(run.Exit, 2) << c.Arguments << ": " << run.Err;
    EXPECT_EQ(run.Out, "") << c.Arguments;
    EXPECT_NE(run.Err.find("kx470u: "), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(c.Told), std::string::npos) << c.Arguments << ": " << run.Err;
    EXPECT_NE(run.Err.find("Run 'kx470u --help'"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("platform"), std::string::npos) << run.Err;
  }
  // Nothing was loaded or saved: no INI, no table file, no backup.
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

} // namespace
