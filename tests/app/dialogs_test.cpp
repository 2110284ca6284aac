// The settings dialogs and the About box, opened from the main window's
// menus on the fake layer.

#include "dialogs/dialogs.h"

#include <functional>
#include <tuple>

#include "resources/resource_ids.h"
#include "shell_test.h"

namespace {

// How the user ends a dialog without OK: Escape reaches the dialog as the
// Cancel command.
enum class Leave { kCancel, kCloseBox };

class DialogsTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    OpenMainWindow();
  }

  // Chooses menu command `command` and runs `user` on the dialog it opens.
  // Gives back the dialog's result, -1 when it did not end.
  int Run(int command, const std::function<void(WindowHandle)>& user) {
    WindowHandle dialog = 0;
    fake_.whileModal = [&](WindowHandle window, int templateId) {
      dialog = window;
      opened_ = templateId;
      user(window);
    };
    fake_.ended.clear();
    fake_.Command(window_, command);
    fake_.whileModal = nullptr;
    for (const auto& [window, result] : fake_.ended) {
      if (window == dialog) return result;
    }
    return -1;
  }
  void End(WindowHandle dialog, Leave how) {
    if (how == Leave::kCancel) {
      fake_.Command(dialog, IDCANCEL);
    } else {
      fake_.Send(dialog, WM_CLOSE);
    }
  }
  static int ResultOf(Leave how) { return how == Leave::kCancel ? IDCANCEL : 0; }

  std::vector<std::string> Labels(WindowHandle dialog) {
    return {fake_.GetControlText(dialog, kRedValueLabel),
            fake_.GetControlText(dialog, kGreenValueLabel),
            fake_.GetControlText(dialog, kBlueValueLabel)};
  }
  void ScrollBar(WindowHandle dialog, int bar, int request, int trackPos = 0) {
    EXPECT_FALSE(fake_.Scroll(dialog, WM_HSCROLL, request, trackPos, bar));
  }
  // The ids of the Save Options buttons that are checked.
  std::vector<int> Checked(WindowHandle dialog) {
    std::vector<int> checked;
    for (int id : {kEightBitRadio, kTwentyFourBitRadio, kCompressedRadio, kUncompressedRadio,
                   kMaskCheckBox}) {
      if (fake_.IsButtonChecked(dialog, id)) checked.push_back(id);
    }
    return checked;
  }
  // Whether the main window's swatch was drawn since the records were cleared.
  bool MainSwatchDrawn() const {
    for (const FakeWindowLayer::Rectangle& drawn : fake_.rectangles) {
      if (drawn.window == window_) return true;
    }
    return false;
  }
  void TypeCount(WindowHandle dialog, const std::string& text) {
    fake_.SetControlText(dialog, kFrameCountEdit, text);
  }
  std::tuple<bool, bool, bool> SaveOptions() {
    return {Settings().IsCompressed, Settings().Is8BitSave, Settings().HasMask};
  }

  int opened_ = 0;
};

TEST_F(DialogsTest, FillColorOpensOnTheApplicationsColor) {
  SetFillColor(State(), Settings(), 255, 0, 255);
  const int result = Run(kFillColorCommand, [&](WindowHandle dialog) {
    EXPECT_EQ(opened_, kFillColorTemplate);
    for (auto [bar, pos] :
         {std::pair(kRedBar, 255), std::pair(kGreenBar, 0), std::pair(kBlueBar, 255)}) {
      const ScrollInfo info = fake_.GetScrollInfo(dialog, bar);
      EXPECT_EQ(std::tie(info.min, info.max, info.page, info.pos), std::make_tuple(0, 255, 1, pos));
    }
    EXPECT_EQ(Labels(dialog), (std::vector<std::string>{"255", "0", "255"}));
    fake_.rectangles.clear();
    EXPECT_TRUE(fake_.Send(dialog, WM_PAINT));
    ASSERT_EQ(fake_.rectangles.size(), 1u);
    const FakeWindowLayer::Rectangle& swatch = fake_.rectangles[0];
    EXPECT_EQ(std::tie(swatch.window, swatch.id), std::make_tuple(dialog, 0));
    EXPECT_EQ(std::tie(swatch.left, swatch.top, swatch.right, swatch.bottom),
              std::make_tuple(197, 56, 286, 138));
    EXPECT_EQ(swatch.fill, (Rgb{255, 0, 255}));

    // OK with nothing changed still hands the color back, and the main
    // window's swatch is drawn again.
    fake_.rectangles.clear();
    fake_.Command(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(MainSwatchDrawn());
  EXPECT_EQ(Settings().FillColor, (Rgb{255, 0, 255}));
}

TEST_F(DialogsTest, FillColorBarsMoveByOneStopAtTheirEndsAndFollowTheThumb) {
  SetFillColor(State(), Settings(), 0, 128, 255);
  Run(kFillColorCommand, [&](WindowHandle dialog) {
    fake_.repaints = 0;
    ScrollBar(dialog, kRedBar, SB_LINELEFT);
    ScrollBar(dialog, kRedBar, SB_PAGELEFT);
    ScrollBar(dialog, kBlueBar, SB_LINERIGHT);
    ScrollBar(dialog, kBlueBar, SB_PAGERIGHT);
    EXPECT_EQ(fake_.repaints, 0) << "a bar at its end moves nothing and draws nothing";
    EXPECT_EQ(Labels(dialog), (std::vector<std::string>{"0", "128", "255"}));
    EXPECT_EQ(fake_.GetScrollInfo(dialog, kBlueBar).pos, 255);

    ScrollBar(dialog, kGreenBar, SB_PAGERIGHT);
    EXPECT_EQ(fake_.GetControlText(dialog, kGreenValueLabel), "129");
    ScrollBar(dialog, kGreenBar, SB_PAGELEFT);
    ScrollBar(dialog, kGreenBar, SB_LINELEFT);
    EXPECT_EQ(fake_.GetControlText(dialog, kGreenValueLabel), "127");

    // Dragging the thumb redraws the swatch as it goes; letting go changes
    // nothing more.
    fake_.rectangles.clear();
    ScrollBar(dialog, kRedBar, SB_THUMBTRACK, 200);
    EXPECT_EQ(fake_.GetControlText(dialog, kRedValueLabel), "200");
    ASSERT_FALSE(fake_.rectangles.empty());
    EXPECT_EQ(fake_.rectangles.back().fill, (Rgb{200, 127, 255}));
    const int repaints = fake_.repaints;
    ScrollBar(dialog, kRedBar, SB_THUMBPOSITION, 200);
    ScrollBar(dialog, kRedBar, SB_ENDSCROLL, 200);
    EXPECT_EQ(fake_.repaints, repaints);

    // The bars answer no jump to an edge.
    ScrollBar(dialog, kBlueBar, SB_LEFT);
    ScrollBar(dialog, kGreenBar, SB_RIGHT);
    EXPECT_EQ(Labels(dialog), (std::vector<std::string>{"200", "127", "255"}));
    EXPECT_EQ(fake_.repaints, repaints);
    EXPECT_EQ(Settings().FillColor, (Rgb{0, 128, 255})) << "nothing is committed before OK";
    fake_.Command(dialog, IDOK);
  });
  EXPECT_EQ(Settings().FillColor, (Rgb{200, 127, 255}));
  EXPECT_EQ(fake_.rectangles.back().window, window_);
  EXPECT_EQ(fake_.rectangles.back().fill, (Rgb{200, 127, 255}));
}

TEST_F(DialogsTest, FillColorCancelEscapeAndCloseBoxCommitNothing) {
  SetFillColor(State(), Settings(), 10, 20, 30);
  for (Leave how : {Leave::kCancel, Leave::kCloseBox}) {
    fake_.ClearRecords();
    const int result = Run(kFillColorCommand, [&](WindowHandle dialog) {
      EXPECT_EQ(Labels(dialog), (std::vector<std::string>{"10", "20", "30"}))
          << "a new opening starts from the application's color";
      ScrollBar(dialog, kRedBar, SB_THUMBTRACK, 99);
      ScrollBar(dialog, kBlueBar, SB_LINELEFT);
      End(dialog, how);
    });
    EXPECT_EQ(result, ResultOf(how));
    EXPECT_EQ(Settings().FillColor, (Rgb{10, 20, 30}));
    EXPECT_FALSE(MainSwatchDrawn());
  }
}

TEST_F(DialogsTest, SheetOptionsShowTheChoicesAndOkChecksAndCommitsThem) {
  Settings().Sheet.strip.columns = 4;
  Settings().Sheet.data = DataFormat::kJsonArray;
  const int result = Run(kSheetOptionsCommand, [&](WindowHandle dialog) {
    EXPECT_EQ(opened_, kSheetOptionsTemplate);
    EXPECT_EQ(fake_.GetControlText(dialog, kColumnsEdit), "4");
    EXPECT_EQ(fake_.GetControlText(dialog, kStartAngleEdit), "0");
    EXPECT_TRUE(fake_.IsButtonChecked(dialog, kKeepSizeRadio));
    EXPECT_TRUE(fake_.IsButtonChecked(dialog, kJsonArrayRadio));
    EXPECT_FALSE(fake_.IsButtonChecked(dialog, kNoDataRadio));
    EXPECT_TRUE(fake_.IsButtonChecked(dialog, kLibraryTurnRadio));
    fake_.Command(dialog, kSmoothTurnRadio);
    EXPECT_FALSE(fake_.IsButtonChecked(dialog, kLibraryTurnRadio));
    fake_.Command(dialog, kShearTurnRadio);
    EXPECT_FALSE(fake_.IsButtonChecked(dialog, kSmoothTurnRadio));
    fake_.Command(dialog, kFitSizeRadio);
    fake_.Command(dialog, kJsonHashRadio);
    EXPECT_FALSE(fake_.IsButtonChecked(dialog, kKeepSizeRadio));
    EXPECT_FALSE(fake_.IsButtonChecked(dialog, kJsonArrayRadio));
    fake_.CheckButton(dialog, kTransparentCheckBox, true);
    fake_.CheckButton(dialog, kReverseCheckBox, true);
    // What is not a number in range is refused and the dialog stays open.
    for (auto [field, text] : {std::pair(kColumnsEdit, "0"), std::pair(kStartAngleEdit, "360"),
                               std::pair(kSpacingEdit, "x")}) {
      fake_.SetControlText(dialog, field, text);
      fake_.boxes.clear();
      fake_.ended.clear();
      fake_.Command(dialog, IDOK);
      EXPECT_EQ(fake_.boxes.size(), 1u) << text;
      EXPECT_TRUE(fake_.ended.empty());
      fake_.SetControlText(dialog, field, "3");
    }
    EXPECT_EQ(Settings().Sheet.strip.columns, 4) << "nothing is committed before OK";
    fake_.Command(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  const StripOptions& strip = Settings().Sheet.strip;
  EXPECT_TRUE(strip.alpha && strip.reverse && !strip.exactAngles);
  EXPECT_EQ(strip.frameSize.kind, FrameSize::Kind::kFit);
  EXPECT_EQ(std::tie(strip.columns, strip.spacing, strip.startDegrees), std::make_tuple(3, 3, 3));
  EXPECT_EQ(Settings().Sheet.data, DataFormat::kJsonHash);
  EXPECT_EQ(strip.method, TurnMethod::kShear);

  for (Leave how : {Leave::kCancel, Leave::kCloseBox}) {
    const SheetChoices before = Settings().Sheet;
    Run(kSheetOptionsCommand, [&](WindowHandle dialog) {
      fake_.Command(dialog, kNoDataRadio);
      fake_.CheckButton(dialog, kTransparentCheckBox, false);
      End(dialog, how);
    });
    EXPECT_EQ(Settings().Sheet, before);
  }
}

TEST_F(DialogsTest, SheetOptionsTrimAndPackOnlyWithADataFile) {
  Run(kSheetOptionsCommand, [&](WindowHandle dialog) {
    EXPECT_EQ(fake_.GetControlText(dialog, kExtrudeEdit), "0");
    fake_.CheckButton(dialog, kTrimCheckBox, true);
    fake_.CheckButton(dialog, kBleedCheckBox, true);
    fake_.SetControlText(dialog, kExtrudeEdit, "9");
    // Out of range, then no data file, then bleeding without transparency.
    for (int refusal = 0; refusal < 3; ++refusal) {
      fake_.boxes.clear();
      fake_.Command(dialog, IDOK);
      EXPECT_EQ(fake_.boxes.size(), 1u) << refusal;
      EXPECT_TRUE(fake_.ended.empty());
      if (refusal == 0) fake_.SetControlText(dialog, kExtrudeEdit, "8");
      if (refusal == 1) fake_.Command(dialog, kJsonHashRadio);
    }
    fake_.CheckButton(dialog, kTransparentCheckBox, true);
    fake_.Command(dialog, IDOK);
  });
  const StripOptions& strip = Settings().Sheet.strip;
  EXPECT_TRUE(strip.trim && strip.bleed && !strip.pack);
  EXPECT_EQ(strip.extrude, 8);
}

TEST(ReadUnsignedNumberTest, TakesDigitsThatFitIn32Bits) {
  EXPECT_EQ(ReadUnsignedNumber("1"), 1u);
  EXPECT_EQ(ReadUnsignedNumber("720"), 720u);
  EXPECT_EQ(ReadUnsignedNumber("0"), 0u);
  EXPECT_EQ(ReadUnsignedNumber("4294967295"), 4294967295u);
  EXPECT_EQ(ReadUnsignedNumber("000000000000014"), 14u);
  EXPECT_EQ(ReadUnsignedNumber("  14  "), 14u);
  for (const char* text : {"", "   ", "4294967296", "99999999999999999999", "-1", "+1", "12a",
                           "1 2", "0x10", "\t14"}) {
    EXPECT_EQ(ReadUnsignedNumber(text), std::nullopt) << '"' << text << '"';
  }
}

TEST_F(DialogsTest, FrameNumberRefusesWhatIsNotACountAbove0AndStaysOpen) {
  SetFrameCount(Settings(), 32);
  const std::string notANumber = "You must enter a number";
  const std::string notAbove0 = "You must enter a number above 0";
  const int result = Run(kFrameNumberCommand, [&](WindowHandle dialog) {
    EXPECT_EQ(opened_, kFrameNumberTemplate);
    EXPECT_EQ(fake_.GetControlText(dialog, kFrameCountEdit), "32");
    for (const auto& [text, refusal] :
         {std::pair("", notANumber), std::pair("0", notAbove0), std::pair("2147483648", notAbove0),
          std::pair("4294967295", notAbove0), std::pair("4294967296", notANumber),
          std::pair("-5", notANumber), std::pair("12a", notANumber)}) {
      fake_.boxes.clear();
      TypeCount(dialog, text);
      fake_.Command(dialog, IDOK);
      ASSERT_EQ(fake_.boxes.size(), 1u) << text;
      const FakeWindowLayer::Box& box = fake_.boxes[0];
      EXPECT_EQ(std::tie(box.owner, box.text, box.caption), std::tie(dialog, refusal, "Note"))
          << text;
      EXPECT_EQ(box.style, MB_OK | MB_ICONINFORMATION);
      EXPECT_TRUE(fake_.ended.empty()) << text;
      EXPECT_EQ(fake_.GetControlText(dialog, kFrameCountEdit), text);
    }
    EXPECT_EQ(Settings().Frames, 32);
    fake_.boxes.clear();
    TypeCount(dialog, "720");
    fake_.Command(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(fake_.boxes.empty());
  EXPECT_EQ(Settings().Frames, 720);
}

TEST_F(DialogsTest, FrameNumberCommitsEveryCountFrom1Up) {
  for (auto [text, count] :
       {std::pair("1", 1), std::pair("2147483647", 2147483647), std::pair("0014", 14)}) {
    Run(kFrameNumberCommand, [&](WindowHandle dialog) {
      TypeCount(dialog, text);
      fake_.Command(dialog, IDOK);
    });
    EXPECT_EQ(Settings().Frames, count);
  }
  EXPECT_TRUE(fake_.boxes.empty());
}

TEST_F(DialogsTest, FrameNumberCancelEscapeAndCloseBoxKeepTheCount) {
  SetFrameCount(Settings(), 14);
  for (Leave how : {Leave::kCancel, Leave::kCloseBox}) {
    const int result = Run(kFrameNumberCommand, [&](WindowHandle dialog) {
      EXPECT_EQ(fake_.GetControlText(dialog, kFrameCountEdit), "14");
      TypeCount(dialog, "99");
      End(dialog, how);
    });
    EXPECT_EQ(result, ResultOf(how));
    EXPECT_EQ(Settings().Frames, 14);
  }
}

TEST_F(DialogsTest, SaveOptionsShowsTheApplicationsFlags) {
  const std::vector<std::tuple<bool, bool, bool, std::vector<int>>> cases{
      {false, true, true, {kEightBitRadio, kUncompressedRadio, kMaskCheckBox}},
      {false, false, false, {kTwentyFourBitRadio, kUncompressedRadio}},
      {true, false, false, {kTwentyFourBitRadio, kCompressedRadio}},
  };
  for (const auto& [compressed, eightBit, mask, checked] : cases) {
    SetSaveOptions(Settings(), compressed, eightBit, mask);
    Run(kSaveOptionsCommand, [&](WindowHandle dialog) {
      EXPECT_EQ(opened_, kSaveOptionsTemplate);
      EXPECT_EQ(Checked(dialog), checked);
      fake_.Command(dialog, IDCANCEL);
    });
  }
}

TEST_F(DialogsTest, SaveOptionsCommitsAllThreeFlagsTogetherOnOk) {
  SetSaveOptions(Settings(), true, false, false);
  const int result = Run(kSaveOptionsCommand, [&](WindowHandle dialog) {
    fake_.Command(dialog, kEightBitRadio);
    EXPECT_EQ(Checked(dialog), (std::vector<int>{kEightBitRadio, kCompressedRadio}));
    fake_.Command(dialog, kEightBitRadio);
    EXPECT_EQ(Checked(dialog), (std::vector<int>{kEightBitRadio, kCompressedRadio}))
        << "a checked radio button stays checked";
    // The notification code does not matter.
    fake_.Send(dialog, WM_COMMAND, MakeWParam(kUncompressedRadio, 5));
    EXPECT_EQ(Checked(dialog), (std::vector<int>{kEightBitRadio, kUncompressedRadio}));
    // The check box checks itself, and is read only on OK.
    fake_.CheckButton(dialog, kMaskCheckBox, true);
    fake_.Command(dialog, kMaskCheckBox);
    EXPECT_EQ(SaveOptions(), std::make_tuple(true, false, false));
    fake_.Command(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(SaveOptions(), std::make_tuple(false, true, true));

  // Untouched flags are committed as they are.
  Run(kSaveOptionsCommand, [&](WindowHandle dialog) {
    fake_.Command(dialog, kCompressedRadio);
    fake_.Command(dialog, IDOK);
  });
  EXPECT_EQ(SaveOptions(), std::make_tuple(true, true, true));
}

TEST_F(DialogsTest, SaveOptionsCancelEscapeAndCloseBoxKeepTheFlags) {
  SetSaveOptions(Settings(), false, false, false);
  for (Leave how : {Leave::kCancel, Leave::kCloseBox}) {
    const int result = Run(kSaveOptionsCommand, [&](WindowHandle dialog) {
      EXPECT_EQ(Checked(dialog), (std::vector<int>{kTwentyFourBitRadio, kUncompressedRadio}));
      fake_.Command(dialog, kEightBitRadio);
      fake_.Command(dialog, kCompressedRadio);
      fake_.CheckButton(dialog, kMaskCheckBox, true);
      End(dialog, how);
    });
    EXPECT_EQ(result, ResultOf(how));
    EXPECT_EQ(SaveOptions(), std::make_tuple(false, false, false));
  }
}

TEST_F(DialogsTest, AboutClosesOnOkAndTheCloseBoxButNotOnEscape) {
  OpenPicture(WritePicture("ship.png", 8, 8));
  const Image* picture = State().CurrentImage.get();
  const AppSettings before = Settings();
  int result = Run(kAboutCommand, [&](WindowHandle dialog) {
    EXPECT_EQ(opened_, kAboutTemplate);
    fake_.Command(dialog, IDCANCEL);
    EXPECT_TRUE(fake_.ended.empty()) << "Escape leaves the box open";
    fake_.Command(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  result = Run(kAboutCommand, [&](WindowHandle dialog) { fake_.Send(dialog, WM_CLOSE); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(State().CurrentImage.get(), picture);
  EXPECT_EQ(std::tie(Settings().Frames, Settings().FillColor, Settings().DefaultDirPath),
            std::tie(before.Frames, before.FillColor, before.DefaultDirPath));
}

}  // namespace
