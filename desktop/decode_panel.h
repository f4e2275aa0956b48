// The decode panel without its widgets: the operations behind the panel's
// buttons (set the output folder, build the input list, choose the key) and
// the decode job runner behind ！デコード実行, F5 and the tree's commands. A
// window's panel (a decode_pane) shows what these operations decide.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/decode_run.h"
#include "desktop/file_list.h"
#include "desktop/settings.h"
#include "engine/matrix_cipher.h"

namespace vekdc::desktop {

class CVekDCDoc;
class decode_pane;

class decode_panel {
public:
    // The panel's colour at rest and while a decode runs.
    static constexpr rgb kIdleColour{220, 200, 180};
    static constexpr rgb kBusyColour{100, 0, 255};

    decode_panel(CVekDCDoc& document, decode_pane& pane);

    CVekDCDoc& GetDocument() const { return m_document; }

    // The idle colour, the desktop folder as output folder, the bar at 0.
    void OnInitialUpdate();
    // Adds a path (the system's bytes) to the input list unless an entry
    // equal to it, letter case ignored, is there already. Returns 0.
    int AddFileToList(const std::string& path);
    // "→リストに追加": the tree's selection joins the list, whatever it names;
    // a screen reader hears whether it did.
    void AddSelectionToList();
    // The same for a path the tree gives (Space).
    void AddAndAnnounce(const std::string& path);
    // Files given by the desktop (dropped, or named with --add), as
    // file_list::add_paths takes them; the status bar says how many were
    // ignored, and the panel is revealed. While a run is active nothing is
    // added and the status bar says why.
    add_result AddLocalPaths(const std::vector<std::string>& paths);
    // "→出力先に指定": the tree's selection becomes the output folder.
    void SetOutDirFromSelection();
    int ClearFileList();
    // "－項目を削除": the selected entries leave the list.
    void DeleteSelectedFiles();
    // "キーの設定": the key file dialog, which takes only a file that can be
    // the key (key_file_problem); its outcome goes to the key box and the
    // status bar. Cancelled, the earlier key stays.
    void ChooseKeyFile();
    // What the key dialog says against a file: empty when it can be the key.
    static std::string KeyRefusal(const std::string& path);
    void SetPanelColor(int red, int green, int blue);
    rgb GetPanelColor() const { return m_crBack; }
    // The user's desktop folder (the home folder where the desktop folder
    // does not exist); 0 on success, -1 ("err : 1") when the system names no
    // desktop folder, -2 ("err : 2") when neither folder exists.
    int GetDesktopFolder(std::string& path);

    // Checks the panel, runs the job and resets the panel; -1 when refused.
    // Listed files that cannot be decoded are skipped, named in one box at
    // the end, and stay listed. Returns when the run has ended or was cancelled.
    int StartDecode();
    // Asks the active run to stop after the current file (or inside a large
    // one); the files already written stay.
    void CancelDecode();
    // Closing the window during a run cancels it; the window closes when it has stopped.
    void CloseAfterRun();
    // Both progress bars.
    int SetProgress(int percent);
    // What the window shows while it waits for a run: the bars and the count.
    void ShowRunProgress(const decode_run::snapshot& progress);

    CMatrixCipher m_engine;

private:
    // The run's end, and the files it skipped in `skipped`.
    decode_run::snapshot RunDecodeJob(const std::vector<std::string>& paths,
                                      const std::string& outDir, const std::string& keyPath,
                                      std::vector<decode_run::skipped_file>& skipped);
    void SetRunning(bool running);
    void ShowNotice(const std::string& text) const;
    // The folder the output box names: the bytes of the tree's selection
    // when the box still shows what →出力先に指定 put there.
    std::string OutputFolderPath() const;

    CVekDCDoc& m_document;
    decode_pane& m_pane;
    rgb m_crBack{};
    decode_run* m_run = nullptr;       // the active run
    bool m_cancelBeforeStart = false;  // cancelled before the job began
    bool m_closeAfterRun = false;
    std::string m_outDirShown;  // what →出力先に指定 last put into the box, as shown
    std::string m_outDirPath;   // the same folder as the system's bytes
};

}  // namespace vekdc::desktop
