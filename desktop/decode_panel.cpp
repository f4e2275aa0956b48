#include "desktop/decode_panel.h"

#include "codec/dimensions.h"
#include "desktop/document.h"
#include "desktop/drive_tree.h"
#include "desktop/file_names.h"
#include "desktop/texts.h"
#include "desktop/window.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/language.h"
#include "platform/services.h"

namespace vekdc::desktop {

namespace {

bool is_folder(const std::string& path) {
    return platform::file_status(path).kind == platform::FileKind::Folder;
}

}  // namespace

decode_panel::decode_panel(CVekDCDoc& document, decode_pane& pane)
    : m_document(document), m_pane(pane) {
    m_document.m_fileList.set_observer(&m_pane);
}

void decode_panel::OnInitialUpdate() {
    SetPanelColor(kIdleColour.red, kIdleColour.green, kIdleColour.blue);
    std::string desktop;
    GetDesktopFolder(desktop);
    m_pane.set_output_folder(desktop);
    m_pane.set_progress(0);
}

int decode_panel::AddFileToList(const std::string& path) {
    m_document.m_fileList.add(path);
    return 0;
}

void decode_panel::AddSelectionToList() {
    AddAndAnnounce(m_document.m_strSelectedPath);
}

void decode_panel::AddAndAnnounce(const std::string& path) {
    const bool added = m_document.m_fileList.add(path);
    m_document.Announce(format(text_id::files_added, {added ? "1" : "0"}));
}

add_result decode_panel::AddLocalPaths(const std::vector<std::string>& paths) {
    add_result result;
    if (m_document.m_bDecoding != 0) {
        m_document.SetStatusText(std::string(text(text_id::busy)));
        result.ignored = paths.size();
    } else {
        result = m_document.m_fileList.add_paths(paths);
        std::string said = format(text_id::files_added, {std::to_string(result.added)});
        if (result.ignored > 0) {
            const std::string ignored =
                format(text_id::ignored_items, {std::to_string(result.ignored)});
            m_document.SetStatusText(ignored);
            said += ' ' + ignored;
        }
        m_document.Announce(said);
    }
    if (m_document.m_pFrame != nullptr) {
        m_document.m_pFrame->reveal_decode_panel();
    }
    return result;
}

void decode_panel::SetOutDirFromSelection() {
    m_outDirPath = m_document.m_strSelectedPath;
    m_outDirShown = display_name(m_outDirPath);
    m_pane.set_output_folder(m_outDirShown);
}

std::string decode_panel::OutputFolderPath() const {
    const std::string shown = m_pane.output_folder();
    return !shown.empty() && shown == m_outDirShown ? m_outDirPath : shown;
}

int decode_panel::ClearFileList() {
    m_document.m_fileList.clear();
    return 0;
}

void decode_panel::DeleteSelectedFiles() {
    m_document.m_fileList.remove(m_pane.selected_entries());
}

std::string decode_panel::KeyRefusal(const std::string& path) {
    const std::string problem = key_file_problem(path);
    return problem.empty() ? problem : format(text_id::key_refused, {display_name(path), problem});
}

void decode_panel::ChooseKeyFile() {
    platform::FileDialogRequest request;
    request.filter = text(text_id::key_filter);
    request.default_ext = "key";
    request.check = &decode_panel::KeyRefusal;
    std::string status;
    for (;;) {
        const auto chosen = platform::services().open_file(request);
        if (!chosen) {
            // The earlier key, if there was one, stays.
            status = m_document.m_strKeyPath.empty()
                         ? std::string(text(text_id::key_not_set))
                         : format(text_id::key_unchanged, {display_name(m_document.m_strKeyPath)});
            break;
        }
        // A dialog that could not refuse the file itself: refused here, and asked again.
        const std::string refusal = KeyRefusal(*chosen);
        if (refusal.empty()) {
            m_document.m_strKeyPath = *chosen;
            status = format(text_id::key_set, {display_name(m_document.m_strKeyPath)});
            break;
        }
        platform::services().message_box(refusal, platform::notice(platform::kDecoderCaption),
                                         platform::Buttons::Ok, platform::Icon::Exclamation);
        request.initial_dir = std::string(folder_of_path(*chosen));
    }
    m_pane.show_key_path(display_name(m_document.m_strKeyPath));
    m_document.SetStatusText(status);
}

void decode_panel::SetPanelColor(int red, int green, int blue) {
    m_crBack = rgb{red, green, blue};
    m_pane.set_panel_colour(m_crBack);
}

int decode_panel::GetDesktopFolder(std::string& path) {
    const auto desktop = platform::desktop_folder();
    if (!desktop) {
        platform::app_message("err : 1");
        return -1;
    }
    if (is_folder(*desktop)) {
        path = *desktop;
        return 0;
    }
    // Many Linux desktops have no desktop folder; the home folder always exists.
    const auto home = platform::home_folder();
    if (!home || !is_folder(*home)) {
        platform::app_message("err : 2");
        return -2;
    }
    path = *home;
    return 0;
}

void decode_panel::ShowNotice(const std::string& notice) const {
    platform::services().message_box(notice, platform::notice(platform::kDecoderCaption),
                                     platform::Buttons::Ok, platform::Icon::Information);
}

int decode_panel::StartDecode() {
    CVekDCDoc& doc = m_document;
    if (doc.m_bDecoding != 0) {
        ShowNotice(std::string(text(text_id::busy)));
        return -1;
    }
    // The first request brings the status bar's bar and "Start!"; a later one
    // clears what the last run said, so that it does not stand beside the
    // notices of this one.
    const bool first = doc.m_pLeftView == nullptr || doc.m_pLeftView->ShowStatusProgress();
    if (!first) {
        doc.SetStatusText(std::string());
    }
    if (doc.m_fileList.empty()) {
        ShowNotice(std::string(text(text_id::empty_list)));
        return -1;
    }
    doc.m_strOutDir = OutputFolderPath();
    if (doc.m_strOutDir.empty()) {
        ShowNotice(std::string(text(text_id::no_out_dir)));
        return -1;
    }
    const std::vector<std::string> paths = doc.m_fileList.paths();

    SetPanelColor(kBusyColour.red, kBusyColour.green, kBusyColour.blue);
    ShowNotice(std::string(text(text_id::decode_starts)));

    doc.m_bDecoding = 1;
    m_cancelBeforeStart = false;
    SetRunning(true);
    std::vector<decode_run::skipped_file> skipped;
    const decode_run::snapshot end =
        RunDecodeJob(paths, doc.m_strOutDir, doc.m_strKeyPath, skipped);
    SetRunning(false);
    doc.m_bDecoding = 0;

    SetProgress(0);
    SetPanelColor(kIdleColour.red, kIdleColour.green, kIdleColour.blue);
    ClearFileList();
    // The files that cannot be decoded stay listed for the user to mend.
    for (const decode_run::skipped_file& file : skipped) {
        AddFileToList(file.path);
    }
    if (end.stopped) {
        // What was not reached stays listed, so that the run can be resumed.
        for (std::size_t i = end.done(); i < paths.size(); ++i) {
            AddFileToList(paths[i]);
        }
    }
    doc.SetStatusText(summary_text(end));
    doc.Announce(summary_text(end));
    report_skipped_files(skipped);
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        if (doc.m_pFrame != nullptr) {
            doc.m_pFrame->close_window();
        }
    }
    return 0;
}

decode_run::snapshot decode_panel::RunDecodeJob(const std::vector<std::string>& paths,
                                                const std::string& outDir,
                                                const std::string& keyPath,
                                                std::vector<decode_run::skipped_file>& skipped) {
    // The folder goes between the two parts as it stands; they carry the blanks.
    ShowNotice(format(text_id::output_goes_to, {display_name(outDir)}));
    MatrixPtr key(alloc_matrix(kPlainLength, kBlockLength));
    copy_matrix(key_cache::load(keyPath), key.get(), kPlainLength, kBlockLength);

    decode_run run(m_engine, decode_job(key.get(), paths, outDir));
    // Cancelled at a notice before the job began: it stops before its first file.
    if (m_cancelBeforeStart) {
        run.request_stop();
    }
    m_run = &run;
    m_pane.wait_for_run(run);
    run.join();
    m_run = nullptr;
    skipped = run.skipped();
    const decode_run::snapshot end = run.progress();
    ShowRunProgress(end);
    return end;
}

void decode_panel::ShowRunProgress(const decode_run::snapshot& progress) {
    m_document.SetStatusText(progress_text(progress));
    SetProgress(progress.percent());
}

void decode_panel::CancelDecode() {
    if (m_document.m_bDecoding == 0) {
        return;
    }
    m_document.SetStatusText(std::string(text(text_id::cancelling)));
    m_document.Announce(std::string(text(text_id::cancelling)));
    if (m_run != nullptr) {
        m_run->request_stop();
    } else {
        m_cancelBeforeStart = true;
    }
}

void decode_panel::CloseAfterRun() {
    m_closeAfterRun = true;
    CancelDecode();
}

void decode_panel::SetRunning(bool running) {
    // The panel first when a run starts and last when it ends: it takes the
    // focus away from the other controls, and gives it back once they take
    // input again.
    if (running) {
        m_pane.set_running(true);
    }
    if (m_document.m_pLeftView != nullptr) {
        m_document.m_pLeftView->SetRunning(running);
    }
    if (m_document.m_pFrame != nullptr) {
        m_document.m_pFrame->set_document_commands_enabled(!running);
    }
    if (!running) {
        m_pane.set_running(false);
    }
}

int decode_panel::SetProgress(int percent) {
    if (m_document.m_pLeftView != nullptr) {
        m_document.m_pLeftView->SetStatusProgress(percent);
    }
    m_pane.set_progress(percent);
    return 0;
}

}  // namespace vekdc::desktop
