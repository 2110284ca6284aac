#include <QApplication>
#include <algorithm>
#include <iterator>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/application.h"
#include "core/reasons.h"
#include "gyrelle_version.h"
#include "resources/program_resources.h"
#include "window/qt/qt_window_layer.h"

namespace {

constexpr const char* kUsage =
    "Usage: gyrelle [FILE]\n"
    "Opens the window that turns a picture of a ship into a strip of rotation\n"
    "frames, with the picture FILE open in it when given. Qt's own options, such\n"
    "as -platform offscreen, are taken as well.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

// Prints `text` to standard output; a failed write is an error.
int Print(const char* text) {
  if (std::fputs(text, stdout) < 0 || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "gyrelle: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "gyrelle: %s (see gyrelle --help)\n", text.c_str());
  return 2;
}

// Qt's own options, which QApplication takes out of argv; those of the
// first list take a value, as the next argument or after "=".
constexpr const char* kQtValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "style", "stylesheet", "display", "geometry",
    "title", "name", "qmljsdebugger"};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync",
                                    "testability"};

// The usage error in the arguments, or empty: decided before Qt starts,
// which without a display would abort the program instead.
std::string CommandLineProblem(int argc, char** argv) {
  int files = 0;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (!optionsEnd && argument == "--") {
      optionsEnd = true;
      continue;
    }
    if (optionsEnd || argument.size() < 2 || argument[0] != '-') {
      if (++files > 1) return "one FILE at most";
      continue;
    }
    const std::string name =
        argument.substr(argument[1] == '-' ? 2 : 1, argument.find('=') - (argument[1] == '-' ? 2 : 1));
    const auto named = [&](const auto& list) {
      return std::any_of(std::begin(list), std::end(list),
                         [&](const char* known) { return name == known; });
    };
    if (named(kQtValueOptions)) {
      if (argument.find('=') == std::string::npos) ++i;
    } else if (!named(kQtFlags)) {
      return "unknown option " + Quoted(argument);
    }
  }
  return {};
}

}  // namespace

// The desktop program: `gyrelle [FILE]`.
int main(int argc, char** argv) {
  // Answered before Qt starts: they need no display.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) return Print(kUsage);
    if (std::strcmp(argv[i], "--version") == 0) return Print("gyrelle " GYRELLE_VERSION "\n");
  }
  if (const std::string problem = CommandLineProblem(argc, argv); !problem.empty()) {
    return UsageError(problem);
  }
  // Past a file size limit a save then fails with EFBIG and is reported,
  // where the signal would end the program and lose the settings.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication application(argc, argv);  // takes Qt's options out of argv
  std::string file;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!optionsEnd && argument == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && argument.size() > 1 && argument[0] == '-') {
      return UsageError("unknown option " + Quoted(argument));
    } else if (!file.empty()) {
      return UsageError("one FILE at most");
    } else {
      file = argument;
    }
  }
  QtWindowLayer layer(ProgramResources());
  RunApplication(layer, file);
  return 0;
}
