// The application's start-up sequence, new and open.
#include <gtest/gtest.h>

#include "desktop/application.h"
#include "tests/desktop/desktop_support.h"
#include "tests/support/test_support.h"

namespace vekdc::desktop {
namespace {

using test::ja;

// Notes how many key dialogs had opened when the window was shown.
class watching_session : public test::desktop_session {
public:
    void ShowMainWindow() override {
        dialogs_at_show = static_cast<int>(recorder->dialogs.size());
        desktop_session::ShowMainWindow();
    }
    int dialogs_at_show = -1;
};

TEST(Application, StartsFromTheCommandLine) {
    const test::TempDir dir;
    test::write_file(dir / "given.txt", "given");
    struct row {
        const char* name;
        std::vector<std::string> arguments;
        bool started;
        int exit_code;
        int key_dialogs;    // before the window shows
        std::string title;  // empty: no document
        std::vector<std::string> recent;
        std::string box;  // a part of the one box shown
    };
    const row rows[] = {
        {"plain start", {}, true, 0, 1, ja(text_id::untitled), {}, ""},
        {"a document file", {dir / "given.txt"}, true, 0, 0, "given.txt", {dir / "given.txt"}, ""},
        {"a missing document file", {dir / "none.txt"}, false, 1, 0, "", {}, dir / "none.txt"},
        {"a folder as the document", {dir.path()}, false, 1, 0, "", {}, dir.path()},
        {"/Embedding", {"/Embedding"}, false, 0, 0, "", {}, ""},
        {"-Automation", {"-Automation"}, false, 0, 0, "", {}, ""},
        {"/embedding", {"/embedding", "file.txt"}, false, 0, 0, "", {}, ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        watching_session session;
        const bool started = session.app->InitInstance(r.arguments, session);
        EXPECT_EQ(started, r.started);
        EXPECT_EQ(session.app->GetExitCode(), r.exit_code);
        EXPECT_EQ(session.dialogs_at_show, r.started ? r.key_dialogs : -1);
        EXPECT_EQ(session.app->GetRecentFileList(), r.recent);
        const bool automation =
            r.arguments.size() > 0 && application::IsAutomationOption(r.arguments[0]);
        if (automation) {
            EXPECT_EQ(session.app->GetDocument(), nullptr);
            EXPECT_TRUE(session.settings.values.empty());
            EXPECT_TRUE(session.recorder->boxes.empty());
            continue;
        }
        if (r.started) {
            EXPECT_EQ(session.doc().GetTitle(), r.title);
            EXPECT_EQ(session.frame.caption, r.title + " - VekDC");
            EXPECT_EQ(session.initial_updates, 1);
        }
        const auto boxes = session.recorder->texts();
        EXPECT_EQ(boxes.size(), r.box.empty() ? 0u : 1u);
        if (!r.box.empty() && !boxes.empty()) {
            EXPECT_NE(boxes[0].find(r.box), std::string::npos) << boxes[0];
        }
    }
}

TEST(Application, NewDocumentWritesItsSettingsAndAsksForTheKeyAgain) {
    const test::TempDir dir;
    const std::string first = dir / "first.key";
    const std::string second = dir / "second.key";
    for (const std::string& key : {first, second}) {
        test::write_file(key, std::string(11 * 12 * sizeof(double), '\0'));
    }
    test::desktop_session session;
    session.recorder->setNextFile(first);
    ASSERT_TRUE(session.app->InitInstance({}, session));
    EXPECT_EQ(session.settings.values["VekDCDoc/HomeDir"], "xxx");
    EXPECT_EQ(session.settings.values["CLeftView/PaneColorLBack"], "00ffffff");
    EXPECT_EQ(session.settings.values["CLeftView/PaneColorLText"], "00000000");
    EXPECT_EQ(session.doc().m_strKeyPath, first);

    session.panel().AddFileToList("/kept/entry.vek");
    session.panel_pane->out_dir = "/elsewhere";
    session.settings.values["VekDCDoc/HomeDir"] = "changed";
    session.recorder->setNextFile(second);
    session.app->OnFileNew();
    EXPECT_EQ(session.recorder->dialogs.size(), 2u);
    EXPECT_EQ(session.settings.values["VekDCDoc/HomeDir"], "xxx");
    EXPECT_EQ(session.doc().m_strKeyPath, second);
    EXPECT_NE(session.panel_pane->out_dir, "/elsewhere");  // the desktop folder again
    EXPECT_EQ(session.doc().m_fileList.paths(), std::vector<std::string>{"/kept/entry.vek"});
    EXPECT_EQ(session.doc().GetTitle(), ja(text_id::untitled));

    // Cancelled this time: the key stays, and the status says so.
    session.app->OnFileNew();
    EXPECT_EQ(session.doc().m_strKeyPath, second);
    EXPECT_EQ(session.frame.last_status(), format(ja(text_id::key_unchanged), {second}));
}

TEST(Application, OpenMakesAFileTheDocument) {
    const test::TempDir dir;
    test::write_file(dir / "paper.doc", "contents that must stay");
    test::desktop_session session;
    ASSERT_TRUE(session.app->InitInstance({}, session));
    session.recorder->dialogs.clear();

    session.recorder->setNextFile(dir / "paper.doc");
    session.app->OnFileOpen();
    EXPECT_EQ(session.recorder->dialogs.size(), 1u);  // no key dialog
    EXPECT_EQ(session.recorder->dialogs[0].filter, "すべてのﾌｧｲﾙ (*.*)|*.*||");
    EXPECT_EQ(session.frame.caption, "paper.doc - VekDC");
    EXPECT_EQ(session.app->GetRecentFileList(), std::vector<std::string>{dir / "paper.doc"});
    EXPECT_EQ(session.initial_updates, 2);
    EXPECT_EQ(test::read_file(dir / "paper.doc"), "contents that must stay");

    // A file that cannot be opened changes nothing.
    session.recorder->setNextFile(dir / "absent.doc");
    session.app->OnFileOpen();
    ASSERT_EQ(session.recorder->boxes.size(), 1u);
    EXPECT_EQ(session.recorder->boxes[0].text,
              format(ja(text_id::cannot_open_document), {dir / "absent.doc"}));
    EXPECT_EQ(session.frame.caption, "paper.doc - VekDC");
    EXPECT_EQ(session.initial_updates, 2);
}

}  // namespace
}  // namespace vekdc::desktop
