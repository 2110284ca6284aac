// The program on real Qt widgets, headless: the main window as built from
// its template, the real file dialogs, and one whole run from Open to Save As.

#include <filesystem>

#include <QComboBox>
#include <QFileSystemModel>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "app/main_window.h"
#include "qt_test_support.h"

namespace {

QStringList ComboTexts(QFileDialog* dialog) {
  QStringList texts;
  auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
  for (int i = 0; combo && i < combo->count(); ++i) texts << combo->itemText(i);
  return texts;
}

TEST_F(QtShellTest, TheMainWindowIsBuiltFromItsTemplate) {
  Run({[&] {
    QDialog* main = Main();
    if (!main) return false;
    EXPECT_EQ(main->windowTitle(), "Gyrelle v1.0.1");
    QWidget* preview = Control(kPreviewControl);
    EXPECT_EQ(preview->parentWidget()->size(), QSize(348, 336));
    EXPECT_EQ(preview->geometry(), QRect(11, 11, 312, 262));
    EXPECT_EQ(Control(kVerticalScrollBar)->geometry(), QRect(323, 10, 15, 263));
    EXPECT_EQ(Control(kHorizontalScrollBar)->geometry(), QRect(11, 273, 312, 15));
    auto* rotate = Control<QPushButton>(kRotateButton);
    EXPECT_EQ(rotate->text(), "Rotate");
    EXPECT_TRUE(rotate->isDefault());
    EXPECT_FALSE(rotate->isEnabled());
    EXPECT_FALSE(Control<QAction>(kSaveAsCommand)->isEnabled());
    EXPECT_TRUE(Control<QAction>(kOpenCommand)->isEnabled());

    QStringList menus;
    for (QAction* menu : main->findChild<QMenuBar*>()->actions()) {
      menus << menu->text();
      for (QAction* item : menu->menu()->actions()) {
        menus << (item->isSeparator() ? QStringLiteral("-") : item->text());
      }
    }
    EXPECT_EQ(menus,
              QStringList({"File", "Open", "Open Recent", "Save As", "-", "Exit", "Settings",
                           "Number of frames", "Save Settings", "Fill Color", "Sheet Options\u2026",
                           "View", "Spin", "-", "5 frames a second", "10 frames a second",
                           "20 frames a second", "30 frames a second", "-", "Zoom 1\u00d7",
                           "Zoom 2\u00d7", "Zoom 4\u00d7", "Zoom 8\u00d7", "Fit", "Help", "About"}));
    const QList<QSize> sizes = main->windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(48, 48)));

    // Without a picture: the swatch in white, an empty preview in its frame.
    const QImage screen = Screen();
    EXPECT_EQ(screen.pixelColor(20, 300), QColor(Qt::white));
    EXPECT_EQ(screen.pixelColor(11, 293), QColor(Qt::black));
    EXPECT_EQ(screen.pixelColor(11, 100), QColor(Qt::black));
    EXPECT_EQ(screen.pixelColor(100, 100), screen.pixelColor(5, 5));

    QTest::keyClick(main, Qt::Key_Escape);
    EXPECT_TRUE(main->isVisible()) << "Escape leaves the main window open";
    main->close();
    return true;
  }});
  EXPECT_TRUE(std::filesystem::exists(Path("config.txt")));
}

TEST_F(QtShellTest, OpenRotateSaveWritesWhatTheCommandLineToolWrites) {
  std::ofstream(Path("config.txt")) << "[HULLSPIN]\n\tFRAMES=32;\n\tHAS_MASK=TRUE;\n[/HULLSPIN]\n";
  Rgb fill;
  Run({[&] {
         if (!Main()) return false;
         Trigger(kOpenCommand);
         return true;
       },
       [&] {
         auto* dialog = Modal<QFileDialog>();
         if (!dialog) return false;
         EXPECT_EQ(dialog->windowTitle(), "Open");
         EXPECT_EQ(ComboTexts(dialog),
                   QStringList({"All Files", "JPEG (*.jpg, *.jpeg)",
                                "Portable Network Graphic (*.png)", "Truevision Targa (*.tga)",
                                "Windows or OS/2 Bitmaps (*.bmp)", "ZSoft Paintbrush (*.pcx)"}));
         auto* model = dialog->findChild<QFileSystemModel*>();
         EXPECT_EQ(model->nameFilters(),
                   QStringList({"*.png", "*.jpg", "*.jpeg", "*.tga", "*.bmp", "*.pcx"}));
         EXPECT_FALSE(model->filter() & QDir::CaseSensitive) << "ship.PNG is a PNG too";
         dialog->selectNameFilter("JPEG (*.jpg, *.jpeg) (*.jpg *.jpeg)");
         EXPECT_EQ(model->nameFilters(), QStringList({"*.jpg", "*.jpeg"}));
         TypeName(dialog, QString::fromStdString(kSample));
         QMetaObject::invokeMethod(dialog, "accept");
         return true;
       },
       [&] {
         if (!Main() || !State().CurrentImage) return false;
         const Image& picture = *State().CurrentImage;
         fill = Settings().FillColor;
         EXPECT_EQ(PixelOf(picture, 0, 0), QColor(fill.red, fill.green, fill.blue));
         // A 28 x 30 picture sits centred: its corner at (142, 116) in the
         // preview, which starts at (11, 11).
         const QImage screen = Screen();
         for (auto [x, y] : {std::pair(0, 0), std::pair(27, 29), std::pair(13, 17)}) {
           EXPECT_EQ(screen.pixelColor(153 + x, 127 + y), PixelOf(picture, x, y)) << x << "," << y;
         }
         EXPECT_EQ(screen.pixelColor(100, 100), screen.pixelColor(5, 5)) << "background around it";
         EXPECT_EQ(screen.pixelColor(20, 300), QColor(fill.red, fill.green, fill.blue));
         Control<QPushButton>(kRotateButton)->click();
         return true;
       },
       [&] {
         if (!Main() || !Control<QAction>(kSaveAsCommand)->isEnabled()) return false;
         EXPECT_EQ(State().CurrentImage->Height(), 30 * 32);
         EXPECT_FALSE(Control(kRotateButton)->isEnabled());
         Trigger(kSaveAsCommand);
         return true;
       },
       [&] {
         auto* dialog = Modal<QFileDialog>();
         if (!dialog) return false;
         EXPECT_EQ(dialog->windowTitle(), "Save As");
         EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
         EXPECT_EQ(ComboTexts(dialog).size(), 4);
         EXPECT_EQ(dialog->selectedNameFilter(), "Portable Network Graphic (*.png)");
         TypeName(dialog, QString::fromStdString(Path("ship")));
         QMetaObject::invokeMethod(dialog, "accept");
         return true;
       },
       [&] {
         if (!Main()) return false;
         Main()->close();
         return true;
       }});

  ASSERT_TRUE(std::filesystem::exists(Path("ship.PNG")));
  ASSERT_TRUE(std::filesystem::exists(Path("ship-mask.BMP")));
  const QString colour = QString::asprintf("%02X%02X%02X", fill.red, fill.green, fill.blue);
  const int exitCode =
      QProcess::execute(QStringLiteral(GYRELLE_BIN_DIR "/gyrelle-cli"),
                        {"-n", "32", "-f", colour, "--mask", QString::fromStdString(kSample),
                         QString::fromStdString(Path("cli.PNG"))});
  ASSERT_EQ(exitCode, 0);
  EXPECT_EQ(ReadBytes(Path("ship.PNG")), ReadBytes(Path("cli.PNG")));
  EXPECT_EQ(ReadBytes(Path("ship-mask.BMP")), ReadBytes(Path("cli-mask.BMP")));
  EXPECT_NE(ReadBytes(Path("config.txt")).find("\tDEFAULT_DIR_PATH=" + dir_.string() + "/;\n"),
            std::string::npos);
}

TEST_F(QtShellTest, SaveAsAsksBeforeReplacingAFile) {
  std::ofstream(Path("taken.PNG")) << "earlier work";
  Run({[&] {
         if (!Main()) return false;
         App().ShowOpenedImage(kSample);
         return true;
       },
       [&] {
         if (!Main() || !Control(kRotateButton)->isEnabled()) return false;
         Control<QPushButton>(kRotateButton)->click();
         return true;
       },
       [&] {
         if (!Main() || !Control<QAction>(kSaveAsCommand)->isEnabled()) return false;
         Trigger(kSaveAsCommand);
         return true;
       },
       [&] { return AcceptFileDialog(Path("taken.PNG")); },
       [&] {
         auto* question = Modal<QMessageBox>();
         if (!question) return false;
         question->button(QMessageBox::No)->click();
         return true;
       },
       [&] {
         auto* dialog = Modal<QFileDialog>();
         if (!dialog) return false;
         dialog->reject();
         return true;
       },
       [&] {
         if (!Main()) return false;
         Main()->close();
         return true;
       }});
  EXPECT_EQ(ReadBytes(Path("taken.PNG")), "earlier work");
}

TEST_F(QtShellTest, SeveralPicturesOpenedTogetherMakeTheCommandLinesOneSheet) {
  std::ofstream(Path("config.txt")) << "[HULLSPIN]\n\tFRAMES=8;\n[/HULLSPIN]\n";
  Run({[&] {
         if (!Main()) return false;
         Trigger(kOpenCommand);
         return true;
       },
       [&] {
         auto* dialog = Modal<QFileDialog>();
         if (!dialog) return false;
         EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
         dialog->setDirectory(QStringLiteral(GYRELLE_SAMPLES_DIR));
         TypeName(dialog, "\"escort1.png\" \"firefly.png\"");
         QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
         return true;
       },
       [&] {
         if (!Main() || !Control(kRotateButton)->isEnabled()) return false;
         EXPECT_EQ(State().MorePictures.size(), 1u);
         Control<QPushButton>(kRotateButton)->click();
         return true;
       },
       [&] {
         if (!Main() || !Control<QAction>(kSaveAsCommand)->isEnabled()) return false;
         // Both pictures' 8 frames in the preview: 30 and 64 pixels tall.
         EXPECT_EQ(State().PreviewImage->Height(), 8 * 30 + 8 * 64);
         Trigger(kSaveAsCommand);
         return true;
       },
       [&] { return AcceptFileDialog(Path("fleet.png")); },
       [&] {
         // Written whole, under its own name, only at the end.
         if (!Main() || !std::filesystem::exists(Path("fleet.png"))) return false;
         Main()->close();
         return true;
       }});
  const std::string samples = GYRELLE_SAMPLES_DIR;
  ASSERT_EQ(QProcess::execute(QStringLiteral(GYRELLE_BIN_DIR "/gyrelle-cli"),
                              {"-n", "8", QString::fromStdString(samples + "/escort1.png"),
                               QString::fromStdString(samples + "/firefly.png"),
                               QString::fromStdString(Path("cli.png"))}),
            0);
  EXPECT_EQ(ReadBytes(Path("fleet.png")), ReadBytes(Path("cli.png")));
}

TEST_F(QtShellTest, ScrollBarsMoveTheViewOverATallStrip) {
  Run({[&] {
         if (!Main()) return false;
         SetFrameCount(Settings(), 720);
         App().ShowOpenedImage(kSample);
         return true;
       },
       [&] {
         if (!Main() || !Control(kRotateButton)->isEnabled()) return false;
         Control<QPushButton>(kRotateButton)->click();
         return true;
       },
       [&] {
         if (!Main() || !Control<QAction>(kSaveAsCommand)->isEnabled()) return false;
         const Image& strip = *State().CurrentImage;
         EXPECT_EQ(strip.Height(), 30 * 720);

         auto* vertical = Control<QScrollBar>(kVerticalScrollBar);
         EXPECT_EQ(vertical->maximum(), 30 * 720 - 260);
         EXPECT_EQ(vertical->pageStep(), 260);
         vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
         EXPECT_EQ(State().ScrollY, 260);
         EXPECT_EQ(vertical->value(), 260);
         vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
         EXPECT_EQ(State().ScrollY, 259);
         vertical->setSliderDown(true);
         vertical->setSliderPosition(20000);
         EXPECT_EQ(State().ScrollY, 20000);
         vertical->setSliderDown(false);
         EXPECT_EQ(State().ScrollY, 20000);
         vertical->triggerAction(QAbstractSlider::SliderToMaximum);
         EXPECT_EQ(State().ScrollY, 30 * 720 - 260);

         // The bottom of the strip, painted from the picture itself.
         const QImage screen = Screen();
         const int left = 11 + 156 - 14;
         for (int y : {0, 100, 259}) {
           EXPECT_EQ(screen.pixelColor(left + 5, 12 + y), PixelOf(strip, 5, State().ScrollY + y));
         }

         auto* horizontal = Control<QScrollBar>(kHorizontalScrollBar);
         horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd);
         EXPECT_EQ(State().ScrollX, 0) << "a narrow strip does not scroll across";
         Main()->close();
         return true;
       }});
}

// Transparent pixels show over a light checkerboard of 8-pixel squares.
TEST_F(QtShellTest, TransparencyShowsOverACheckerboard) {
  Run({[&] {
         if (!Main()) return false;
         App().ShowOpenedImage(GYRELLE_SAMPLES_DIR "/firefly.png");
         return true;
       },
       [&] {
         if (!Main() || !State().CurrentImage) return false;
         EXPECT_EQ(State().CurrentImage->BytesPerPixel(), 4);
         const QImage screen = Screen();
         const int left = 11 + 156 - 32, top = 11 + 131 - 32;  // the 64 x 64 picture's corner
         EXPECT_EQ(screen.pixelColor(left, top), QColor(0xFF, 0xFF, 0xFF));
         EXPECT_EQ(screen.pixelColor(left + 8, top), QColor(0xCC, 0xCC, 0xCC));
         EXPECT_EQ(screen.pixelColor(left + 8, top + 8), QColor(0xFF, 0xFF, 0xFF));
         Main()->close();
         return true;
       }});
}

}  // namespace

int main(int argc, char** argv) {
  // Headless also when run by hand or listed by CTest.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
