// The save dialog as the user sees it (the real Qt dialog, answered by a polling timer
// as a person would answer it), message boxes, and the application-wide mouse cursor.
#include <QApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/application.h"
#include "framework/file_type.h"
#include "framework/interaction.h"
#include "framework/mouse_cursor.h"
#include "framework/save_as_dialog.h"
#include "tests/support/test_interaction.h"

namespace fs = std::filesystem;

namespace {

/// Answers the modal dialogs that the code under test shows, one step per dialog, as a
/// person at the keyboard would. A timer polls the active modal widget; a step waits for
/// a modal of its class and then acts on it from a queued call, never from inside the
/// timer itself, so a dialog that the step opens in turn runs its own loop while the
/// polling goes on. A modal that no step expects fails the test and is closed; so is
/// whatever is still modal when the time limit is reached, so a dialog nobody answers
/// ends the test with a failure instead of hanging it.
class ModalDriver {
 public:
  using Action = std::function<void(QWidget&)>;

  explicit ModalDriver(int limitMilliseconds = 30000) : limit_(limitMilliseconds) {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }
  ~ModalDriver() { timer_.stop(); }
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  /// Adds a step: once a modal of class `W` is active, `action` runs on it.
  template <class W>
  ModalDriver& Then(std::function<void(W&)> action) {
    steps_.push_back({W::staticMetaObject.className(), [action](QWidget& w) {
                        if (auto* typed = qobject_cast<W*>(&w)) action(*typed);
                      }, [](QWidget& w) { return qobject_cast<W*>(&w) != nullptr; }});
    return *this;
  }
  /// The steps carried out so far.
  int StepsTaken() const { return static_cast<int>(next_); }

 private:
  struct Step {
    const char* className;
    Action action;
    std::function<bool(QWidget&)> fits;
  };

  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (clock_.elapsed() > limit_) {
      if (!expired_) {
        expired_ = true;
        ADD_FAILURE() << "time limit reached after " << next_ << " of " << steps_.size()
                      << " steps; modal left open: " << Describe(modal);
      }
      CloseModals();
      return;
    }
    if (modal == nullptr || queued_) return;
    if (next_ >= steps_.size()) {
      if (running_ == 0) {
        ADD_FAILURE() << "a modal that no step expects: " << Describe(modal);
        CloseModals();
      }
      return;
    }
    const Step& step = steps_[next_];
    if (!step.fits(*modal)) return;  // the one before may still be closing
    ++next_;
    queued_ = true;
    QPointer<QWidget> target(modal);
    Action action = step.action;
    QMetaObject::invokeMethod(
        modal,
        [this, target, action] {
          queued_ = false;
          if (!target) return;
          ++running_;
          action(*target);
          --running_;
        },
        Qt::QueuedConnection);
  }

  static std::string Describe(QWidget* w) {
    if (w == nullptr) return "none";
    std::string text = std::string(w->metaObject()->className()) + " \"" + w->windowTitle().toStdString() + "\"";
    if (auto* box = qobject_cast<QMessageBox*>(w)) text += " saying \"" + box->text().toStdString() + "\"";
    return text;
  }

  static void CloseModals() {
    for (int i = 0; i < 10; ++i) {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
      } else {
        modal->close();
      }
    }
  }

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 limit_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool queued_ = false;  // a step's action waits in the queue
  int running_ = 0;      // actions that have started and not yet returned
  bool expired_ = false;
};

// --- What a person does with the Qt save dialog ---------------------------------------

QDialogButtonBox::ButtonRole RoleOf(QAbstractButton* button) {
  auto* box = qobject_cast<QDialogButtonBox*>(button->parentWidget());
  return box ? box->buttonRole(button) : QDialogButtonBox::InvalidRole;
}

QPushButton* ButtonWithRole(QWidget& dialog, QDialogButtonBox::ButtonRole role) {
  for (auto* button : dialog.findChildren<QPushButton*>()) {
    if (RoleOf(button) == role) return button;
  }
  return nullptr;
}

QLineEdit* NameField(QFileDialog& dialog) { return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

/// The label that stands for the file name field.
QLabel* NameLabel(QFileDialog& dialog) {
  QLineEdit* field = NameField(dialog);
  for (auto* label : dialog.findChildren<QLabel*>()) {
    if (field != nullptr && label->buddy() == field) return label;
  }
  return nullptr;
}

/// Types `name` into the file name field, as the user does with the field focused.
void TypeName(QFileDialog& dialog, const QString& name) {
  QLineEdit* field = NameField(dialog);
  ASSERT_NE(field, nullptr);
  field->setFocus(Qt::OtherFocusReason);
  field->setText(name);
}

void Confirm(QFileDialog& dialog) {
  QPushButton* accept = ButtonWithRole(dialog, QDialogButtonBox::AcceptRole);
  ASSERT_NE(accept, nullptr);
  EXPECT_TRUE(accept->isEnabled());
  accept->click();
}

void Cancel(QFileDialog& dialog) {
  QPushButton* cancel = ButtonWithRole(dialog, QDialogButtonBox::RejectRole);
  ASSERT_NE(cancel, nullptr);
  cancel->click();
}

void Answer(QMessageBox& box, QMessageBox::StandardButton which) {
  QAbstractButton* button = box.button(which);
  ASSERT_NE(button, nullptr) << box.text().toStdString();
  button->click();
}

QString Canonical(const QString& path) { return QDir(path).canonicalPath(); }
QString Canonical(const fs::path& path) { return Canonical(QFile::decodeName(QByteArray::fromStdString(path.native()))); }

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  ASSERT_TRUE(out.good()) << path.native();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().native());
  std::sort(names.begin(), names.end());
  return names;
}

/// Sets an environment variable for the life of the guard.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

/// Every test here has a home folder of its own (HOME and XDG_CONFIG_HOME), where the
/// Documents folder is whatever the test writes into user-dirs.dirs, and where Qt keeps
/// the file dialog's own settings, and a folder of albums.
class SaveAsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    const fs::path root(root_.path().toStdString());
    home_ = root / "home";
    config_ = home_ / ".config";
    albums_ = root / "albums";
    fs::create_directories(config_);
    fs::create_directories(albums_);
    homeEnv_.emplace("HOME", home_.native());
    configEnv_.emplace("XDG_CONFIG_HOME", config_.native());
    // The dialog reads and writes its history and sidebar in the user's Qt settings.
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
      QSettings::setPath(format, QSettings::UserScope, QString::fromStdString(config_.native()));
    }
  }
  void TearDown() override {
    configEnv_.reset();
    homeEnv_.reset();
    const QString userConfig = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
      QSettings::setPath(format, QSettings::UserScope, userConfig);
    }
  }

  /// Makes `folder` the user's Documents folder (it need not exist).
  void SetDocuments(const fs::path& folder) {
    WriteFile(config_ / "user-dirs.dirs", "# written by the test\nXDG_DOCUMENTS_DIR=\"" + folder.native() + "\"\n");
  }
  fw::FolderItemPtr Item(const fs::path& path) const { return fw::FolderItem::Make(path); }

  /// Opens `dialog` for real and cancels it; the folder that it showed first.
  QString FolderShownBy(fw::SaveAsDialog& dialog) {
    QString shown;
    ModalDriver driver;
    driver.Then<QFileDialog>([&](QFileDialog& d) {
      shown = d.directory().absolutePath();
      Cancel(d);
    });
    EXPECT_EQ(dialog.RunNativeDialog(), nullptr);
    EXPECT_EQ(driver.StepsTaken(), 1);
    return Canonical(shown);
  }

  /// Types `name` into the real dialog and confirms it, answers the message box that
  /// follows with `answer`, then cancels the dialog, which must still be open; the box's text.
  QString BoxAfterTyping(fw::SaveAsDialog& dialog, const QString& name, QMessageBox::StandardButton answer) {
    QString text;
    ModalDriver driver;
    driver.Then<QFileDialog>([&](QFileDialog& d) {
            TypeName(d, name);
            Confirm(d);
          })
        .Then<QMessageBox>([&](QMessageBox& box) {
          text = box.text();
          Answer(box, answer);
        })
        .Then<QFileDialog>([&](QFileDialog& d) { Cancel(d); });
    EXPECT_EQ(dialog.RunNativeDialog(), nullptr);
    EXPECT_EQ(driver.StepsTaken(), 3);
    return text;
  }

  QTemporaryDir root_;
  fs::path home_, config_, albums_;
  std::optional<ScopedEnv> homeEnv_, configEnv_;
};

// --- What the dialog shows ------------------------------------------------------------

TEST_F(SaveAsDialogTest, ShowsTitleActionCaptionPromptAndTheFiltersDocumentType) {
  fw::DocumentTypeRegistry::Register("test/album", "", "", ".tqa;.tqb", "");
  fw::SaveAsDialog dialog;
  dialog.Title = "Save the Repaired Album";
  dialog.ActionButtonCaption = "Repair";
  dialog.PromptText = "Repaired album:";
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = ".tqb";  // an extension of the type

  QString title, accept, prompt;
  QStringList filters;
  bool promptVisible = false;
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    title = d.windowTitle();
    filters = d.nameFilters();
    if (QPushButton* button = ButtonWithRole(d, QDialogButtonBox::AcceptRole)) accept = button->text();
    if (QLabel* label = NameLabel(d)) {
      prompt = label->text();
      promptVisible = label->isVisible();
    }
    Cancel(d);
  });
  EXPECT_EQ(dialog.RunNativeDialog(), nullptr);
  EXPECT_EQ(driver.StepsTaken(), 1);
  EXPECT_EQ(title, "Save the Repaired Album");
  EXPECT_EQ(accept, "Repair");
  EXPECT_EQ(prompt, "Repaired album:");
  EXPECT_TRUE(promptVisible);
  EXPECT_EQ(filters, QStringList{"test/album (*.tqb)"});
  fw::DocumentTypeRegistry::Withdraw("test/album");
}

TEST_F(SaveAsDialogTest, EmptyTextsKeepTheDialogsOwn) {
  QFileDialog reference;  // a plain Qt save dialog of the same kind
  reference.setOption(QFileDialog::DontUseNativeDialog, true);
  reference.setAcceptMode(QFileDialog::AcceptSave);
  reference.setFileMode(QFileDialog::AnyFile);
  ASSERT_NE(ButtonWithRole(reference, QDialogButtonBox::AcceptRole), nullptr);
  ASSERT_NE(NameLabel(reference), nullptr);
  const QString ownAccept = ButtonWithRole(reference, QDialogButtonBox::AcceptRole)->text();
  const QString ownPrompt = NameLabel(reference)->text();
  ASSERT_FALSE(ownAccept.isEmpty());
  ASSERT_FALSE(ownPrompt.isEmpty());

  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  QString title, accept, prompt;
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    title = d.windowTitle();
    if (QPushButton* button = ButtonWithRole(d, QDialogButtonBox::AcceptRole)) accept = button->text();
    if (QLabel* label = NameLabel(d)) prompt = label->text();
    Cancel(d);
  });
  EXPECT_EQ(dialog.RunNativeDialog(), nullptr);
  EXPECT_EQ(driver.StepsTaken(), 1);
  EXPECT_EQ(title, reference.windowTitle());
  EXPECT_EQ(accept, ownAccept);
  EXPECT_EQ(prompt, ownPrompt);
}

TEST_F(SaveAsDialogTest, SuggestedFileNameFillsTheNameFieldAndIsReturnedAsIs) {
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = ".qva";
  dialog.SuggestedFileName = "Holiday (repaired).qva";
  QString shownName;
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    if (QLineEdit* field = NameField(d)) shownName = field->text();
    Confirm(d);
  });
  fw::FolderItemPtr chosen = dialog.RunNativeDialog();
  EXPECT_EQ(driver.StepsTaken(), 1);
  EXPECT_EQ(shownName, "Holiday (repaired).qva");
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->NativePath(), albums_ / "Holiday (repaired).qva");
  EXPECT_TRUE(Listing(albums_).empty());  // chosen, not made
}

// --- The folder it opens in -----------------------------------------------------------

TEST_F(SaveAsDialogTest, OpensInTheInitialDirectoryWhenThatIsAFolder) {
  const fs::path documents = home_ / "Docs";
  fs::create_directories(documents);
  SetDocuments(documents);
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  EXPECT_EQ(FolderShownBy(dialog), Canonical(albums_));
}

TEST_F(SaveAsDialogTest, OpensInDocumentsWithoutAUsableInitialDirectory) {
  const fs::path documents = home_ / "Docs";
  fs::create_directories(documents);
  SetDocuments(documents);
  WriteFile(albums_ / "Holiday.qva", "album");
  // No initial folder, a file instead of a folder, a folder that is gone.
  for (const fw::FolderItemPtr& initial : {fw::FolderItemPtr(), Item(albums_ / "Holiday.qva"), Item(albums_ / "gone")}) {
    fw::SaveAsDialog dialog;
    dialog.InitialDirectory = initial;
    EXPECT_EQ(FolderShownBy(dialog), Canonical(documents)) << (initial ? initial->NativePath() : "nil");
  }
}

TEST_F(SaveAsDialogTest, OpensInTheHomeFolderWhenDocumentsIsMissingToo) {
  SetDocuments(home_ / "Docs");  // named, never made
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_ / "gone");
  EXPECT_EQ(FolderShownBy(dialog), Canonical(home_));
}

TEST_F(SaveAsDialogTest, DocumentsIsTheUsersFolderWhetherItExistsOrNot) {
  SetDocuments(home_ / "Docs");
  fw::FolderItemPtr documents = fw::SpecialFolder::Documents();
  ASSERT_NE(documents, nullptr);
  EXPECT_EQ(documents->NativePath(), home_ / "Docs");
  EXPECT_FALSE(documents->Exists());
}

// --- The name returned ----------------------------------------------------------------

/// `text` as a test case's name: letters and digits, '_' for anything else.
std::string CaseName(std::string text) {
  for (char& c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return text;
}

struct NameCase {
  std::string filter, typed, returned;
};

void PrintTo(const NameCase& c, std::ostream* out) {
  *out << "filter \"" << c.filter << "\", typed \"" << c.typed << "\"";
}

class SaveAsDialogNames : public SaveAsDialogTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(SaveAsDialogNames, TypedNameGetsTheFiltersExtensionWhenItHasNone) {
  const NameCase& c = GetParam();
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = c.filter;
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    TypeName(d, QString::fromStdString(c.typed));
    Confirm(d);
  });
  fw::FolderItemPtr chosen = dialog.RunNativeDialog();
  EXPECT_EQ(driver.StepsTaken(), 1);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->NativePath(), albums_ / c.returned);
  EXPECT_TRUE(Listing(albums_).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Filters, SaveAsDialogNames,
    ::testing::Values(NameCase{".qva", "Holiday", "Holiday.qva"},
                      NameCase{".qva", "x.qva", "x.qva"},
                      NameCase{".qva", "X.QVA", "X.QVA"},
                      NameCase{".qva", "Album v1.2", "Album v1.2.qva"},
                      NameCase{".qva", "notes.txt", "notes.txt.qva"},
                      NameCase{".qva;.db", "x.db", "x.db"},
                      NameCase{".qva;.db", "x", "x.qva"},
                      NameCase{"", "notes", "notes"}),
    [](const ::testing::TestParamInfo<NameCase>& info) {
      return CaseName(info.param.typed + (info.param.filter.empty() ? "_NoFilter" : "_Filter" + info.param.filter));
    });

TEST_F(SaveAsDialogTest, NameFieldIsOneFileNameTakenLiterallySuggestedOrTyped) {
  // Beside the names: an album that Qt's own reading of quotes as a list of files picks.
  const fs::path decoy = albums_ / "Paris.qva";
  WriteFile(decoy, "another album");
  for (const std::string name : {"Trip \"Paris\" 2024_repaired.qva", "Trip \"Paris\"", "$HOME `date`; rm ~ \"x\".qva",
                                  "F\u00eate \u00ab\"\u00e9t\u00e9\"\u00bb \u65c5.qva"}) {
    for (const bool typed : {false, true}) {
      SCOPED_TRACE((typed ? "typed: " : "suggested: ") + name);
      fw::SaveAsDialog dialog;
      dialog.InitialDirectory = Item(albums_);
      dialog.Filter = ".qva";
      if (!typed) dialog.SuggestedFileName = name;
      ModalDriver driver;  // a question about replacing a file would be a failure
      driver.Then<QFileDialog>([&](QFileDialog& d) {
        if (typed) TypeName(d, QString::fromStdString(name));
        Confirm(d);
      });
      fw::FolderItemPtr chosen = dialog.RunNativeDialog();
      ASSERT_NE(chosen, nullptr);
      EXPECT_EQ(chosen->NativePath(), albums_ / (name.ends_with(".qva") ? name : name + ".qva"));
    }
  }
  EXPECT_EQ(ReadFile(decoy), "another album");
  EXPECT_EQ(Listing(albums_), std::vector<std::string>{"Paris.qva"});
}

TEST_F(SaveAsDialogTest, CancelGivesNil) {
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = ".qva";
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    TypeName(d, "Holiday");
    Cancel(d);
  });
  EXPECT_EQ(dialog.RunNativeDialog(), nullptr);
  EXPECT_EQ(driver.StepsTaken(), 1);
  EXPECT_TRUE(Listing(albums_).empty());
}

// --- An existing file -----------------------------------------------------------------

TEST_F(SaveAsDialogTest, ExistingFileIsReturnedOnlyAfterTheUserAgreesToReplaceIt) {
  const fs::path existing = albums_ / "Holiday.qva";
  WriteFile(existing, std::string("album bytes\0\xff kept", 18));
  const std::string before = ReadFile(existing);
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = ".qva";

  QString firstQuestion;
  bool stillOpenAfterNo = false;
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
          TypeName(d, "Holiday.qva");
          Confirm(d);
        })
      .Then<QMessageBox>([&](QMessageBox& box) {
        firstQuestion = box.text();
        Answer(box, QMessageBox::No);
      })
      .Then<QFileDialog>([&](QFileDialog& d) {
        stillOpenAfterNo = d.isVisible();
        TypeName(d, "Holiday.qva");
        Confirm(d);
      })
      .Then<QMessageBox>([&](QMessageBox& box) { Answer(box, QMessageBox::Yes); });
  fw::FolderItemPtr chosen = dialog.RunNativeDialog();
  EXPECT_EQ(driver.StepsTaken(), 4);
  EXPECT_TRUE(firstQuestion.contains("Holiday.qva")) << firstQuestion.toStdString();
  EXPECT_TRUE(stillOpenAfterNo);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->NativePath(), existing);
  EXPECT_EQ(ReadFile(existing), before);  // asked about, not touched
  EXPECT_EQ(Listing(albums_), std::vector<std::string>{"Holiday.qva"});
}

TEST_F(SaveAsDialogTest, NameTypedWithoutTheExtensionOfAnExistingFileAsksToo) {
  const fs::path existing = albums_ / "Album v1.2.qva";
  WriteFile(existing, "album");
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = ".qva";
  const QString question = BoxAfterTyping(dialog, "Album v1.2", QMessageBox::No);
  EXPECT_TRUE(question.contains("Album v1.2.qva")) << question.toStdString();
  EXPECT_EQ(ReadFile(existing), "album");
}

// --- Folders -------------------------------------------------------------------------

const char* const kMissingFolder = "%1\nDirectory not found.\nPlease verify the correct directory name was given.";

struct FolderCase {
  std::string typed;
  std::string opens;    // the folder shown afterwards, in the albums' folder ("": that folder)
  std::string missing;  // the folder that Qt's message names ("": no message)
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << "typed \"" << c.typed << "\""; }

class SaveAsDialogFolders : public SaveAsDialogTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(SaveAsDialogFolders, ANameThatIsNoFileOpensItsFolderOrKeepsTheDialogOpenWithQtsMessage) {
  const FolderCase& c = GetParam();
  fs::create_directories(albums_ / "Holiday.qva");
  WriteFile(albums_ / "Holiday.qva" / "inside.txt", "kept");
  WriteFile(albums_ / "notes.txt", "notes");
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = ".qva";

  QString message, shown, field;
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    TypeName(d, QString::fromStdString(c.typed));
    Confirm(d);
  });
  if (!c.missing.empty()) {
    driver.Then<QMessageBox>([&](QMessageBox& box) {
      message = box.text();
      Answer(box, QMessageBox::Ok);
    });
  }
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    shown = d.directory().absolutePath();
    if (QLineEdit* name = NameField(d)) field = name->text();
    Cancel(d);
  });
  EXPECT_EQ(dialog.RunNativeDialog(), nullptr);
  EXPECT_EQ(driver.StepsTaken(), c.missing.empty() ? 2 : 3);
  EXPECT_EQ(message, c.missing.empty() ? QString() : QString(kMissingFolder).arg(QString::fromStdString(c.missing)));
  EXPECT_EQ(Canonical(shown), Canonical(albums_ / c.opens));
  EXPECT_EQ(field, c.missing.empty() ? QString() : QString::fromStdString(c.typed));
  EXPECT_EQ(Listing(albums_), (std::vector<std::string>{"Holiday.qva", "notes.txt"}));
  EXPECT_EQ(ReadFile(albums_ / "Holiday.qva" / "inside.txt"), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Names, SaveAsDialogFolders,
    ::testing::Values(FolderCase{"Holiday", "Holiday.qva", ""},
                      FolderCase{"Holiday.qva", "Holiday.qva", ""},
                      FolderCase{"NewFolder/", "", "NewFolder"},
                      FolderCase{"notes.txt/", "", "notes.txt"},
                      FolderCase{"NewFolder/Holiday", "", "NewFolder"}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return CaseName(info.param.typed); });

/// Translates Qt's message about a missing folder, as a Qt translation file would.
class MissingFolderTranslator final : public QTranslator {
 public:
  QString translate(const char* context, const char* source, const char*, int) const override {
    return QByteArray(context) == "QFileDialog" && QByteArray(source) == kMissingFolder ? "%1: map niet gevonden"
                                                                                         : QString();
  }
  bool isEmpty() const override { return false; }
};

TEST_F(SaveAsDialogTest, TheMessageAboutAMissingFolderIsQtsOwnInTheUsersLanguage) {
  MissingFolderTranslator dutch;
  QCoreApplication::installTranslator(&dutch);
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Filter = ".qva";
  const QString message = BoxAfterTyping(dialog, "Nieuw/Vakantie", QMessageBox::Ok);
  QCoreApplication::removeTranslator(&dutch);
  EXPECT_EQ(message, "Nieuw: map niet gevonden");
}

// --- Through the interaction ----------------------------------------------------------

TEST_F(SaveAsDialogTest, ShowModalAsksTheInstalledInteractionAndShowsNoDialog) {
  testsupport::InteractionGuard person;
  const fs::path answer = albums_ / "Chosen.qva";
  person->answers.push_back([&](const fw::SaveAsDialog&) { return fw::FolderItem::Make(answer); });
  fw::SaveAsDialog dialog;
  dialog.Title = "Save the Repaired Album";
  dialog.ActionButtonCaption = "Repair";
  dialog.SuggestedFileName = "Holiday.qva";
  dialog.Filter = ".qva";
  ModalDriver driver;  // no steps: a real dialog would be a failure

  fw::FolderItemPtr chosen = dialog.ShowModal();
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->NativePath(), answer);
  ASSERT_EQ(person->dialogs.size(), 1u);
  EXPECT_EQ(person->dialogs[0].Title, "Save the Repaired Album");
  EXPECT_EQ(person->dialogs[0].ActionButtonCaption, "Repair");
  EXPECT_EQ(person->dialogs[0].SuggestedFileName, "Holiday.qva");

  EXPECT_EQ(dialog.ShowModal(), nullptr);  // no answer left: cancelled
  EXPECT_EQ(person->dialogs.size(), 2u);
}

TEST_F(SaveAsDialogTest, ShowModalShowsTheRealDialogWithoutATestInteraction) {
  std::shared_ptr<fw::Interaction> previous = fw::SetInteraction(nullptr);
  fw::SaveAsDialog dialog;
  dialog.InitialDirectory = Item(albums_);
  dialog.Title = "Real";
  QString title;
  ModalDriver driver;
  driver.Then<QFileDialog>([&](QFileDialog& d) {
    title = d.windowTitle();
    Cancel(d);
  });
  EXPECT_EQ(dialog.ShowModal(), nullptr);
  fw::SetInteraction(previous);
  EXPECT_EQ(driver.StepsTaken(), 1);
  EXPECT_EQ(title, "Real");
}

// --- Message boxes --------------------------------------------------------------------

/// Puts the real interaction in force for the life of the guard.
class RealInteraction {
 public:
  RealInteraction() : previous_(fw::SetInteraction(nullptr)) {}
  ~RealInteraction() { fw::SetInteraction(previous_); }
  RealInteraction(const RealInteraction&) = delete;
  RealInteraction& operator=(const RealInteraction&) = delete;

 private:
  std::shared_ptr<fw::Interaction> previous_;
};

TEST(MessageBox, ShowsItsTextAndReturnsWhenDismissed) {
  RealInteraction real;
  QString shown;
  bool wasVisible = false;
  ModalDriver driver;
  driver.Then<QMessageBox>([&](QMessageBox& box) {
    shown = box.text();
    wasVisible = box.isVisible();
    Answer(box, QMessageBox::Ok);
  });
  fw::MsgBox("The album \"Holiday\" was repaired.\nA copy of the original is kept.");
  EXPECT_EQ(driver.StepsTaken(), 1);
  EXPECT_TRUE(wasVisible);
  EXPECT_EQ(shown, "The album \"Holiday\" was repaired.\nA copy of the original is kept.");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MessageBox, GoesToTheInstalledInteraction) {
  testsupport::InteractionGuard person;
  ModalDriver driver;  // no steps: a real box would be a failure
  fw::MsgBox("first");
  fw::MsgBox("second");
  EXPECT_EQ(person->messages, (std::vector<std::string>{"first", "second"}));
}

TEST(MessageBox, AQuitRequestForgottenOutsideTheEventLoopLeavesLaterBoxesModal) {
  RealInteraction real;
  fw::QuitApplication(0);  // no event loop runs here
  fw::ResetQuitRequest();
  QString shown;
  ModalDriver driver;
  driver.Then<QMessageBox>([&](QMessageBox& box) {
    shown = box.text();
    Answer(box, QMessageBox::Ok);
  });
  fw::MsgBox("still asked");
  EXPECT_EQ(driver.StepsTaken(), 1);  // the box waited for its answer
  EXPECT_EQ(shown, "still asked");
}

// --- The application's mouse cursor ---------------------------------------------------

class MouseCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr) << "an earlier test left an override cursor";
    app_ = std::make_shared<fw::Application>();
  }
  void TearDown() override {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }
  static std::optional<Qt::CursorShape> Override() {
    const QCursor* cursor = QApplication::overrideCursor();
    if (cursor == nullptr) return std::nullopt;
    return cursor->shape();
  }
  std::shared_ptr<fw::Application> app_;
};

TEST_F(MouseCursorTest, WaitCursorIsShownOverAllWindows) {
  app_->SetMouseCursor(fw::System::Cursors::Wait());
  EXPECT_EQ(Override(), Qt::WaitCursor);
  EXPECT_EQ(app_->MouseCursor(), fw::System::Cursors::Wait());
}

TEST_F(MouseCursorTest, SettingTwiceThenNilGivesTheNormalCursor) {
  app_->SetMouseCursor(fw::System::Cursors::Wait());
  app_->SetMouseCursor(fw::System::Cursors::Wait());
  app_->SetMouseCursor(nullptr);
  EXPECT_EQ(Override(), std::nullopt);
  EXPECT_EQ(app_->MouseCursor(), nullptr);
}

TEST_F(MouseCursorTest, CursorsDoNotStack) {
  app_->SetMouseCursor(fw::System::Cursors::Wait());
  app_->SetMouseCursor(std::make_shared<fw::MouseCursor>(Qt::CrossCursor));
  EXPECT_EQ(Override(), Qt::CrossCursor);
  QApplication::restoreOverrideCursor();  // one level is all there is
  EXPECT_EQ(Override(), std::nullopt);
}

TEST_F(MouseCursorTest, NilWithoutACursorChangesNothing) {
  app_->SetMouseCursor(nullptr);
  EXPECT_EQ(Override(), std::nullopt);
  app_->SetMouseCursor(fw::System::Cursors::Wait());
  EXPECT_EQ(Override(), Qt::WaitCursor);
}

}  // namespace
