// The settings dialogs and the About box on real Qt widgets, headless:
// opened from the main window's menus, built from their templates, each
// committing on OK and leaving everything as it was otherwise.

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include "app/background_work.h"
#include "qt_test_support.h"

namespace {

class QtDialogsTest : public QtShellTest {
 protected:
  // The dialog with `caption` when it is the one in front, else nullptr.
  static QDialog* Front(const char* caption) {
    QDialog* dialog = Modal<QDialog>();
    return dialog && dialog->windowTitle() == caption ? dialog : nullptr;
  }
  template <typename T = QWidget>
  static T* Child(QWidget* dialog, int id) {
    T* child = dialog->findChild<T*>(QString::number(id));
    EXPECT_NE(child, nullptr) << id;
    return child;
  }
  // Clicks from the event loop: the click may open or close a modal dialog.
  static void Click(QWidget* dialog, int id) {
    QMetaObject::invokeMethod(Child<QAbstractButton>(dialog, id), "click", Qt::QueuedConnection);
  }
  // A mouse click on a check box or radio button's mark, which takes the
  // click where its wide control's middle may not.
  static void Press(QWidget* dialog, int id) {
    QWidget* button = Child(dialog, id);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }
  static QSize ClientSize(QDialog* dialog) {
    return dialog->findChild<QWidget*>("1")->parentWidget()->size();
  }
  static QStringList Labels(QDialog* dialog) {
    return {Child<QLabel>(dialog, kRedValueLabel)->text(),
            Child<QLabel>(dialog, kGreenValueLabel)->text(),
            Child<QLabel>(dialog, kBlueValueLabel)->text()};
  }
  // The ids of the dialog's controls that Tab visits, in the order it does.
  static QList<int> TabOrder(QDialog* dialog) {
    QList<int> order;
    for (QWidget* widget = dialog->nextInFocusChain(); widget != dialog;
         widget = widget->nextInFocusChain()) {
      if ((widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty()) {
        order << widget->objectName().toInt();
      }
    }
    return order;
  }

  // Steps that open the dialog of menu `command`, run `edit` on it once it
  // is in front (it may end the dialog), and then run `after` in the main
  // window.
  std::vector<std::function<bool()>> Session(int command, const char* caption,
                                             std::function<void(QDialog*)> edit,
                                             std::function<void()> after = {}) {
    return {[=, this] {
              if (!Main()) return false;
              Trigger(command);
              return true;
            },
            [=] {
              QDialog* dialog = Front(caption);
              if (!dialog) return false;
              edit(dialog);
              return true;
            },
            [=, this] {
              if (!Main()) return false;
              if (after) after();
              return true;
            }};
  }
  static void Append(std::vector<std::function<bool()>>& steps,
                     std::vector<std::function<bool()>> more) {
    steps.insert(steps.end(), more.begin(), more.end());
  }
  // Runs the program through `steps`, then closes the main window.
  void RunAndQuit(std::vector<std::function<bool()>> steps) {
    steps.push_back([this] {
      if (!Main()) return false;
      Main()->close();
      return true;
    });
    Run(std::move(steps));
  }

  // The three ways to leave a dialog without OK.
  static void Leave(QDialog* dialog, int how) {
    if (how == 0) {
      Click(dialog, IDCANCEL);
    } else if (how == 1) {
      QTest::keyClick(dialog, Qt::Key_Escape);
    } else {
      dialog->close();
    }
  }
};

// Drags the bar's thumb to `position` and lets go.
void Drag(QScrollBar* bar, int position) {
  bar->setSliderDown(true);
  bar->setSliderPosition(position);
  bar->setSliderDown(false);
}

TEST_F(QtDialogsTest, FillColorOkCommitsTheColorOfTheBars) {
  auto steps = Session(kFillColorCommand, "Fill Color Selector", [&](QDialog* dialog) {
    EXPECT_EQ(ClientSize(dialog), QSize(303, 198));
    EXPECT_EQ(TabOrder(dialog), QList<int>({IDOK, IDCANCEL}));
    EXPECT_EQ(Labels(dialog), QStringList({"255", "255", "255"}));
    auto* red = Child<QScrollBar>(dialog, kRedBar);
    EXPECT_EQ(std::tuple(red->minimum(), red->maximum(), red->pageStep(), red->value()),
              std::tuple(0, 255, 1, 255));
    red->triggerAction(QAbstractSlider::SliderSingleStepSub);
    red->triggerAction(QAbstractSlider::SliderPageStepSub);
    red->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Labels(dialog)[0], "254");
    auto* green = Child<QScrollBar>(dialog, kGreenBar);
    green->setSliderDown(true);
    green->setSliderPosition(10);
    EXPECT_EQ(Labels(dialog)[1], "10") << "the label follows the thumb while it is dragged";
    green->setSliderDown(false);
    auto* blue = Child<QScrollBar>(dialog, kBlueBar);
    blue->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(blue->value(), 255) << "a jump to an edge is not answered";
    Drag(blue, 0);
    EXPECT_EQ(Labels(dialog), QStringList({"254", "10", "0"}));
    const QImage client = Child(dialog, kRedBar)->parentWidget()->grab().toImage();
    EXPECT_EQ(client.pixelColor(240, 100), QColor(254, 10, 0));
    EXPECT_EQ(client.pixelColor(197, 56), QColor(Qt::black));
    EXPECT_EQ(client.pixelColor(285, 137), QColor(Qt::black));
    EXPECT_NE(client.pixelColor(286, 138), QColor(Qt::black));
    EXPECT_EQ(Settings().FillColor, (Rgb{255, 255, 255}));
    Click(dialog, IDOK);
  });
  steps.push_back([&] {
    EXPECT_EQ(Settings().FillColor, (Rgb{254, 10, 0}));
    EXPECT_EQ(Screen().pixelColor(20, 300), QColor(254, 10, 0)) << "the main window's swatch";
    return true;
  });
  RunAndQuit(steps);
}

TEST_F(QtDialogsTest, FillColorCancelEscapeAndCloseBoxCommitNothing) {
  std::vector<std::function<bool()>> steps;
  for (int how : {0, 1, 2}) {
    Append(steps, Session(
                      kFillColorCommand, "Fill Color Selector",
                      [how](QDialog* dialog) {
                        EXPECT_EQ(Labels(dialog), QStringList({"255", "255", "255"}));
                        Drag(Child<QScrollBar>(dialog, kRedBar), 0);
                        EXPECT_EQ(Labels(dialog)[0], "0");
                        Leave(dialog, how);
                      },
                      [&] {
                        EXPECT_EQ(Settings().FillColor, (Rgb{255, 255, 255}));
                      }));
  }
  RunAndQuit(steps);
}

TEST_F(QtDialogsTest, FrameNumberOkCommitsTheTypedCountAndRefusesZero) {
  auto steps = Session(kFrameNumberCommand, "Frame Number", [](QDialog* dialog) {
    EXPECT_EQ(ClientSize(dialog), QSize(279, 120));
    EXPECT_EQ(TabOrder(dialog), QList<int>({IDOK, IDCANCEL, kFrameCountEdit}));
    auto* edit = Child<QLineEdit>(dialog, kFrameCountEdit);
    EXPECT_EQ(dialog->focusWidget(), edit) << "typing goes to the count at once";
    EXPECT_EQ(edit->text(), "32");
    EXPECT_EQ(edit->selectedText(), "32");
    edit->clear();
    QTest::keyClicks(edit, "-0x");
    EXPECT_EQ(edit->text(), "0") << "only digits can be typed";
    Click(dialog, IDOK);
  });
  // The refusal, in front of the dialog, which stays open.
  steps.insert(steps.end() - 1, {[&] {
                                   auto* box = Modal<QMessageBox>();
                                   if (!box) return false;
                                   EXPECT_EQ(box->windowTitle(), "Note");
                                   EXPECT_EQ(box->text(), "You must enter a number above 0");
                                   EXPECT_EQ(box->icon(), QMessageBox::Information);
                                   QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
                                   return true;
                                 },
                                 [&] {
                                   QDialog* dialog = Front("Frame Number");
                                   if (!dialog) return false;
                                   auto* edit = Child<QLineEdit>(dialog, kFrameCountEdit);
                                   EXPECT_EQ(edit->text(), "0");
                                   EXPECT_EQ(Settings().Frames, 32);
                                   edit->setText("14");
                                   QTest::keyClick(edit, Qt::Key_Return);
                                   return true;
                                 }});
  steps.push_back([&] {
    EXPECT_EQ(Settings().Frames, 14);
    return true;
  });
  RunAndQuit(steps);
}

TEST_F(QtDialogsTest, FrameNumberCancelEscapeAndCloseBoxKeepTheCount) {
  std::vector<std::function<bool()>> steps;
  for (int how : {0, 1, 2}) {
    Append(steps, Session(
                      kFrameNumberCommand, "Frame Number",
                      [how](QDialog* dialog) {
                        auto* edit = Child<QLineEdit>(dialog, kFrameCountEdit);
                        EXPECT_EQ(edit->text(), "32");
                        edit->setText("99");
                        Leave(dialog, how);
                      },
                      [&] { EXPECT_EQ(Settings().Frames, 32); }));
  }
  RunAndQuit(steps);
}

TEST_F(QtDialogsTest, SaveOptionsOkCommitsTheRadioButtonsAndTheMaskBox) {
  auto steps = Session(kSaveOptionsCommand, "Save Options", [&](QDialog* dialog) {
    EXPECT_EQ(ClientSize(dialog), QSize(261, 328));
    EXPECT_EQ(TabOrder(dialog), QList<int>({IDOK, IDCANCEL, kMaskCheckBox}));
    // The texts show whole, in the desktop's font too.
    const QString note =
        "The mask will have the same name as your file with a \"-mask\" before the end of the "
        "filename.";
    QLabel* noteLabel = nullptr;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
      if (label->text() == note) noteLabel = label;
    }
    ASSERT_NE(noteLabel, nullptr);
    EXPECT_LE(noteLabel->heightForWidth(noteLabel->width()), noteLabel->height());
    auto* mask = Child<QCheckBox>(dialog, kMaskCheckBox);
    EXPECT_LE(mask->sizeHint().width(), mask->width());
    auto* eightBit = Child<QRadioButton>(dialog, kEightBitRadio);
    auto* twentyFourBit = Child<QRadioButton>(dialog, kTwentyFourBitRadio);
    EXPECT_TRUE(twentyFourBit->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(dialog, kUncompressedRadio)->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(dialog, kMaskCheckBox)->isChecked());
    for (int click = 0; click < 2; ++click) {
      Press(dialog, kEightBitRadio);
      EXPECT_TRUE(eightBit->isChecked());
      EXPECT_FALSE(twentyFourBit->isChecked());
    }
    Press(dialog, kMaskCheckBox);
    EXPECT_TRUE(Child<QCheckBox>(dialog, kMaskCheckBox)->isChecked());
    EXPECT_FALSE(Settings().Is8BitSave || Settings().HasMask);
    Click(dialog, IDOK);
  });
  steps.push_back([&] {
    EXPECT_FALSE(Settings().IsCompressed);
    EXPECT_TRUE(Settings().Is8BitSave);
    EXPECT_TRUE(Settings().HasMask);
    return true;
  });
  RunAndQuit(steps);
}

TEST_F(QtDialogsTest, SheetOptionsShowWholeAndOkCommitsThem) {
  auto steps = Session(kSheetOptionsCommand, "Sheet Options", [](QDialog* dialog) {
    EXPECT_EQ(ClientSize(dialog), QSize(300, 554));
    // Every choice's text shows whole.
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
      if (qobject_cast<QPushButton*>(button)) continue;
      EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
    }
    EXPECT_TRUE(Child<QRadioButton>(dialog, kKeepSizeRadio)->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(dialog, kNoDataRadio)->isChecked());
    Press(dialog, kFitSizeRadio);
    Press(dialog, kJsonArrayRadio);
    Press(dialog, kTransparentCheckBox);
    EXPECT_FALSE(Child<QRadioButton>(dialog, kKeepSizeRadio)->isChecked());
    auto* columns = Child<QLineEdit>(dialog, kColumnsEdit);
    EXPECT_EQ(columns->text(), "1");
    columns->setText("8");
    Click(dialog, IDOK);
  });
  steps.push_back([&] {
    const SheetChoices& sheet = Settings().Sheet;
    EXPECT_TRUE(sheet.strip.alpha);
    EXPECT_EQ(sheet.strip.frameSize.kind, FrameSize::Kind::kFit);
    EXPECT_EQ(sheet.strip.columns, 8);
    EXPECT_EQ(sheet.data, DataFormat::kJsonArray);
    return true;
  });
  RunAndQuit(steps);
}

TEST_F(QtDialogsTest, SaveOptionsCancelEscapeAndCloseBoxKeepTheFlags) {
  std::vector<std::function<bool()>> steps;
  for (int how : {0, 1, 2}) {
    Append(steps, Session(
                      kSaveOptionsCommand, "Save Options",
                      [how](QDialog* dialog) {
                        EXPECT_TRUE(Child<QRadioButton>(dialog, kTwentyFourBitRadio)->isChecked());
                        EXPECT_TRUE(Child<QRadioButton>(dialog, kUncompressedRadio)->isChecked());
                        Press(dialog, kEightBitRadio);
                        Press(dialog, kCompressedRadio);
                        Press(dialog, kMaskCheckBox);
                        EXPECT_TRUE(Child<QRadioButton>(dialog, kEightBitRadio)->isChecked());
                        EXPECT_TRUE(Child<QCheckBox>(dialog, kMaskCheckBox)->isChecked());
                        Leave(dialog, how);
                      },
                      [&] {
                        EXPECT_FALSE(Settings().IsCompressed || Settings().Is8BitSave ||
                                     Settings().HasMask);
                      }));
  }
  RunAndQuit(steps);
}

TEST_F(QtDialogsTest, AboutShowsItsPictureAndClosesOnEnterAndTheCloseBoxNotEscape) {
  auto steps = Session(kAboutCommand, "About Gyrelle", [](QDialog* dialog) {
    EXPECT_EQ(ClientSize(dialog), QSize(293, 236));
    QStringList texts;
    QSize picture;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
      if (!label->pixmap().isNull()) picture = label->pixmap().size();
      if (!label->text().isEmpty()) texts << label->text();
    }
    EXPECT_EQ(picture, QSize(70, 69));
    EXPECT_EQ(texts.size(), 5);
    EXPECT_TRUE(texts.contains("Gyrelle v1.0.1"));
    EXPECT_TRUE(texts.contains("https://gyrelle.example/"));
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible()) << "Escape leaves the box open";
    QTest::keyClick(dialog, Qt::Key_Return);
  });
  Append(steps, Session(kAboutCommand, "About Gyrelle", [](QDialog* dialog) { dialog->close(); }));
  RunAndQuit(steps);
  EXPECT_EQ(Settings().Frames, 32);
}

TEST_F(QtDialogsTest, SettingsChosenInTheDialogsMakeTheStripAndOutliveTheRun) {
  const Rgb chosen{0, 200, 255};
  auto steps = Session(kFrameNumberCommand, "Frame Number", [](QDialog* dialog) {
    Child<QLineEdit>(dialog, kFrameCountEdit)->setText("14");
    Click(dialog, IDOK);
  });
  Append(steps, Session(kSaveOptionsCommand, "Save Options", [](QDialog* dialog) {
           Press(dialog, kEightBitRadio);
           Press(dialog, kMaskCheckBox);
           Click(dialog, IDOK);
         }));
  Append(steps, {[&] {
                   if (!Main()) return false;
                   Trigger(kOpenCommand);
                   return true;
                 },
                 [&] { return AcceptFileDialog(kSample); },
                 [&] { return Main() && State().CurrentImage; }});
  // After Open, which takes the fill color from the picture.
  Append(steps, Session(kFillColorCommand, "Fill Color Selector", [&](QDialog* dialog) {
           EXPECT_NE(Settings().FillColor, chosen);
           Drag(Child<QScrollBar>(dialog, kRedBar), 0);
           Drag(Child<QScrollBar>(dialog, kGreenBar), 200);
           Drag(Child<QScrollBar>(dialog, kBlueBar), 255);
           Click(dialog, IDOK);
         }));
  Append(steps, {[&] {
                   if (!Main()) return false;
                   EXPECT_EQ(Settings().FillColor, chosen);
                   Control<QPushButton>(kRotateButton)->click();
                   return true;
                 },
                 [&] {
                   if (!Main() || !Control<QAction>(kSaveAsCommand)->isEnabled()) return false;
                   Trigger(kSaveAsCommand);
                   return true;
                 },
                 [&] { return AcceptFileDialog(Path("ship")); },
                 // The save runs off the window's thread; the run ends once it has.
                 [&] {
                   return !App().Work().Running() && std::filesystem::exists(Path("ship-mask.BMP"));
                 }});
  RunAndQuit(steps);

  const std::string config = ReadBytes(Path("config.txt"));
  for (const char* line : {"\tFRAMES=14;\n", "\tIS_COMPRESSED=FALSE;\n", "\tIS_8BIT_SAVE=TRUE;\n",
                           "\tHAS_MASK=TRUE;\n"}) {
    EXPECT_NE(config.find(line), std::string::npos) << line;
  }
  const int exitCode =
      QProcess::execute(QStringLiteral(GYRELLE_BIN_DIR "/gyrelle-cli"),
                        {"-n", "14", "-f", "00C8FF", "--8bit", "--mask",
                         QString::fromStdString(kSample), QString::fromStdString(Path("cli.PNG"))});
  ASSERT_EQ(exitCode, 0);
  ASSERT_TRUE(std::filesystem::exists(Path("ship.PNG")));
  EXPECT_EQ(ReadBytes(Path("ship.PNG")), ReadBytes(Path("cli.PNG")));
  EXPECT_EQ(ReadBytes(Path("ship-mask.BMP")), ReadBytes(Path("cli-mask.BMP")));
  EXPECT_EQ(QImage(QString::fromStdString(Path("ship.PNG"))).format(), QImage::Format_Indexed8);

  // The next start reads the count and the options back; the color is not kept.
  Settings() = AppSettings();
  steps = Session(kFrameNumberCommand, "Frame Number", [](QDialog* dialog) {
    EXPECT_EQ(Child<QLineEdit>(dialog, kFrameCountEdit)->text(), "14");
    Click(dialog, IDCANCEL);
  });
  Append(steps, Session(kSaveOptionsCommand, "Save Options", [](QDialog* dialog) {
           EXPECT_TRUE(Child<QRadioButton>(dialog, kEightBitRadio)->isChecked());
           EXPECT_TRUE(Child<QRadioButton>(dialog, kUncompressedRadio)->isChecked());
           EXPECT_TRUE(Child<QCheckBox>(dialog, kMaskCheckBox)->isChecked());
           Click(dialog, IDCANCEL);
         }));
  RunAndQuit(steps);
  EXPECT_EQ(Settings().FillColor, (Rgb{255, 255, 255}));
}

// With a normal map suffix chosen, Save As writes the normal sheet beside
// the sheet, turned as the command line turns it, and the choice is kept.
TEST_F(QtDialogsTest, NormalMapSuffixMakesSaveAsWriteTheNormalSheetToo) {
  std::filesystem::copy_file(kSample, Path("ship.png"));
  QImage map(QImage(QString::fromStdString(kSample)).size(), QImage::Format_RGB888);
  for (int y = 0; y < map.height(); ++y) {
    for (int x = 0; x < map.width(); ++x) map.setPixelColor(x, y, QColor(60 + 4 * x, 200 - 3 * y, 220));
  }
  ASSERT_TRUE(map.save(QString::fromStdString(Path("ship_n.png"))));
  auto steps = Session(kSheetOptionsCommand, "Sheet Options", [](QDialog* dialog) {
    Child<QLineEdit>(dialog, kNormalSuffixEdit)->setText("_n");
    Press(dialog, kNormalYDownRadio);
    Click(dialog, IDOK);
  });
  Append(steps, {[this] {
                   if (!Main()) return false;
                   Trigger(kOpenCommand);
                   return true;
                 },
                 [this] { return AcceptFileDialog(Path("ship.png")); },
                 [this] {
                   if (!Main() || !Control(kRotateButton)->isEnabled()) return false;
                   Control<QPushButton>(kRotateButton)->click();
                   return true;
                 },
                 [this] {
                   if (!Main() || !Control<QAction>(kSaveAsCommand)->isEnabled()) return false;
                   Trigger(kSaveAsCommand);
                   return true;
                 },
                 [this] { return AcceptFileDialog(Path("out.png")); },
                 [this] { return Main() && std::filesystem::exists(Path("out_n.png")); }});
  RunAndQuit(steps);
  const Rgb fill = Settings().FillColor;
  const QString colour = QString::asprintf("%02X%02X%02X", fill.red, fill.green, fill.blue);
  ASSERT_EQ(QProcess::execute(QStringLiteral(GYRELLE_BIN_DIR "/gyrelle-cli"),
                              {"-f", colour, "--normals", "_n", "--normal-y", "down",
                               QString::fromStdString(Path("ship.png")),
                               QString::fromStdString(Path("cli.png"))}),
            0);
  EXPECT_EQ(ReadBytes(Path("out.png")), ReadBytes(Path("cli.png")));
  EXPECT_EQ(ReadBytes(Path("out_n.png")), ReadBytes(Path("cli_n.png")));
  const std::string config = ReadBytes(Path("config.txt"));
  EXPECT_NE(config.find("\tNORMAL_MAP_SUFFIX=_n;\n\tNORMAL_Y=DOWN;\n[/SHEET]"), std::string::npos);
}

}  // namespace
