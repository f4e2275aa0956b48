// Helpers for the desktop application's tests: keys and encrypted files made
// by the cipher core, a running application whose dialogs are answered ahead
// of time, and ways to find things in the drive tree.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <cstdint>
#include <memory>

#include "Common/matrix/matrix.h"
#include "testing/recording_services.h"

namespace vekdc {
class CLeftView;
class CMainFrame;
class CVekDCApp;
class CVekDCView;
namespace desktop {
class CVekDCDoc;
}  // namespace desktop
}  // namespace vekdc

namespace vekdc::test {

// An 11 x 12 decoding key drawn from the run-time generator seeded with `seed`.
MatrixPtr MakeKey(std::uint32_t seed);
// Writes the key made from `seed` as a key file; returns its path.
QString WriteKey(const QString& path, std::uint32_t seed);

// A temporary folder that also goes when it holds names that are not UTF-8,
// which QTemporaryDir's own removal, going through QString, cannot reach.
class ScratchDir : public QTemporaryDir {
public:
    ~ScratchDir();
};

bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
// Some bytes that depend on `salt`, at least 10 of them.
QByteArray SampleBytes(int size, int salt);

// Encrypts plain files (names ending in a known type, 10 bytes or more) with
// the encoding key derived from the decoding key `B`, into `outDir`.
// Returns the paths of the .vek files, in the order of `plainFiles`.
QStringList EncodeFiles(const QStringList& plainFiles, const QString& outDir, Matrix B);

// Empties the program's settings.
void ClearSettings();

// The tree item of the "/" drive.
QTreeWidgetItem* RootDrive(CLeftView* tree);
// The child of `item` labelled `name` (listing `item` first if needed).
QTreeWidgetItem* ChildNamed(CLeftView* tree, QTreeWidgetItem* item, const QString& name);
// The item of an absolute path, expanding the folders along the way.
QTreeWidgetItem* ExpandTo(CLeftView* tree, const QString& path);
QStringList ChildLabels(QTreeWidgetItem* item);

// The application started as the program starts it, with a recorder
// answering its dialogs. Answers for the start-up key dialog are queued by
// passing `key` (empty: the dialog is cancelled).
class AppSession {
public:
    explicit AppSession(const QString& key = QString(), const QStringList& arguments = {});
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    bool started() const { return started_; }
    platform::RecordingServices& recorder() { return *recorder_; }
    CVekDCApp& app() { return *app_; }
    CMainFrame* frame() const;
    CLeftView* tree() const;
    CVekDCView* panel() const;
    desktop::CVekDCDoc* doc() const;
    // Shows the window and waits until it can be drawn.
    bool expose();

private:
    platform::ScopedRecorder recorder_;
    std::unique_ptr<CVekDCApp> app_;
    bool started_ = false;
};

// Runs the test program again with VEKDC_TEST_SCENARIO=<scenario> and the
// given extra environment; returns its exit status and standard error.
struct ChildResult {
    int exitCode = -1;
    bool crashed = false;
    QString errors;
};
ChildResult RunScenario(const QString& scenario, const QStringList& environment = {});

}  // namespace vekdc::test
