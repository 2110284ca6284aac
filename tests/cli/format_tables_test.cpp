#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "io/picture_formats.h"
#include "sheet/data_formats.h"

// The help, the man pages, the completion and the dialog's labels are
// written by hand; each must say what the format tables say.

namespace {

std::string Text(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(GYRELLE_SOURCE_DIR "/" + path).rdbuf();
  return text.str();
}

// Runs of white space as one space, and the man page's markup taken away.
std::string Flat(std::string text) {
  text = std::regex_replace(text, std::regex(R"(\n\.BR (\S+) ,)"), " $1,");
  text = std::regex_replace(text, std::regex(R"(\n\.B[RI]? )"), " ");
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  return std::regex_replace(text, std::regex(R"(\s+)"), " ");
}

std::string Help() {
  std::string text;
  FILE* pipe = popen(GYRELLE_BIN_DIR "/gyrelle-cli --help", "r");
  char buffer[4096];
  for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    text.append(buffer, n);
  }
  if (pipe) pclose(pipe);
  return Flat(text);
}

std::string Extensions(bool written, const std::string& join, bool upper) {
  std::string text = PictureExtensionList(written, false, join);
  for (char& c : text) c = upper ? char(std::toupper(static_cast<unsigned char>(c))) : c;
  return text;
}

TEST(FormatTables, HelpManPagesAndCompletionSayWhatTheTablesSay) {
  const std::string help = Help(), manual = Flat(Text("data/gyrelle-cli.1.in"));
  const std::string names = DataFormatNameList("|");
  EXPECT_NE(help.find("--data-format " + names + " "), std::string::npos) << help;
  EXPECT_NE(manual.find("--data-format \" " + names + "\""), std::string::npos);
  const std::string written = PictureExtensionList(true, false, ", ");
  const std::string spoken = written.substr(0, written.rfind(", ")) + " or " +
                             written.substr(written.rfind(", ") + 2);
  EXPECT_NE(help.find("extension: " + spoken + ", in any"), std::string::npos) << help;
  EXPECT_NE(manual.find("extension: " + spoken + ", in any"), std::string::npos) << manual;
  EXPECT_NE(manual.find("may be " + PictureNameList(false) + ","), std::string::npos);
  EXPECT_NE(Text("data/gyrelle.1.in").find("reads " + std::regex_replace(PictureNameList(false),
                                                                         std::regex(" or "),
                                                                         " and ") +
                                           " and writes " + PictureNameList(true)),
            std::string::npos);

  const std::string completion = Text("data/gyrelle-cli.bash-completion");
  EXPECT_NE(completion.find("compgen -W '" + DataFormatNameList(" ") + "'"), std::string::npos);
  for (bool written : {false, true}) {
    EXPECT_NE(completion.find("_filedir '@(" + Extensions(written, "|", false) + "|" +
                              Extensions(written, "|", true) + ")'"),
              std::string::npos)
        << written;
  }
  std::string dataExtensions;
  for (const DataFormatRow& row : DataFormats()) {
    if (dataExtensions.find(row.extension) == std::string::npos) {
      dataExtensions += (dataExtensions.empty() ? "" : "|") + std::string(row.extension);
    }
  }
  EXPECT_NE(completion.find("_filedir '@(" + dataExtensions + ")'"), std::string::npos);
  for (const DataFormatRow& row : DataFormats()) {
    EXPECT_NE(Text("resources/templates.cpp").find('"' + std::string(row.label) + '"'),
              std::string::npos)
        << row.label;
  }
}

}  // namespace
