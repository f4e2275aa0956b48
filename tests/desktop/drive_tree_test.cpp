// The drive tree's model: drives, folders listed once and lazily, the
// ".vek" filter, the selection, and the tree's commands.
#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/drive_tree.h"
#include "tests/desktop/desktop_support.h"
#include "tests/support/test_support.h"
#include "vekdc/version.h"

namespace vekdc::desktop {
namespace {

using test::ja;
using test::kSep;

class DriveTreeTest : public testing::Test {
protected:
    void SetUp() override {
        session.create();
        // No decode reaches the engine here: an empty output box stops it first.
        session.panel_pane->out_dir.clear();
    }

    drive_tree& tree() { return session.tree(); }
    std::vector<std::string> labels(node_id id) {
        std::vector<std::string> found;
        for (const node_id child : tree().node(id).children) {
            found.push_back(tree().node(child).label);
        }
        return found;
    }
    // The node of an absolute path below the drive that holds it, listing
    // the folders on the way.
    node_id find(const std::string& path) {
        node_id at = kNoNode;
        std::size_t longest = 0;
        for (const node_id root : tree().roots()) {
            const std::string& name = tree().node(root).name;
            if (path.starts_with(name) && name.size() > longest) {
                at = root;
                longest = name.size();
            }
        }
        std::string rest = path.substr(longest);
        while (at != kNoNode && !rest.empty()) {
            const std::size_t end = rest.find_first_of(platform::kPathSeparators);
            const std::string name = rest.substr(0, end);
            rest = end == std::string::npos ? "" : rest.substr(end + 1);
            if (name.empty()) {
                continue;
            }
            tree().FillChildren(at);
            node_id next = kNoNode;
            for (const node_id child : tree().node(at).children) {
                if (tree().node(child).name == name) {
                    next = child;
                }
            }
            at = next;
        }
        return at;
    }
    node_id select(const std::string& path) {
        const node_id id = find(path);
        tree().OnSelChanged(id);
        session.recorder->boxes.clear();
        return id;
    }
    std::vector<std::string> listed() { return session.doc().m_fileList.paths(); }

    test::TempDir dir;
    test::desktop_session session;
};

#ifndef _WIN32
TEST_F(DriveTreeTest, ListsTheDrivesOnceWithTheirKindsAndPictures) {
    const std::string table = dir / "mounts";
    test::write_file(table,
                     "tmpfs /mnt/ram tmpfs rw 0 0\n"
                     "/dev/sr0 /media/cd iso9660 ro 0 0\n"
                     "server:/x /mnt/net nfs rw 0 0\n"
                     "/dev/sda1 / ext4 rw 0 0\n");
    const test::ScopedEnvironment mounts(
        {test::ScopedEnvironment::Assignment{"VEKDC_MOUNT_TABLE", table}});
    tree().OnInitialUpdate();
    struct row {
        std::string label;
        int image;
    };
    const row expected[] = {{"/ (HARD-DISK)", tree_pane::kImageDrive},
                            {"/media/cd (CD-ROM)", tree_pane::kImageCdRom},
                            {"/mnt/net (REMOTE)", tree_pane::kImageRemovable},
                            {"/mnt/ram (ETC-DRIVE)", tree_pane::kImageDrive}};
    ASSERT_EQ(tree().roots().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const tree_node& drive = tree().node(tree().roots()[i]);
        EXPECT_EQ(drive.label, expected[i].label);
        EXPECT_EQ(drive.image, expected[i].image);
        EXPECT_EQ(drive.selected_image, expected[i].image + 1);
        EXPECT_EQ(labels(tree().roots()[i]), std::vector<std::string>{"DUMY"});
    }
    // A new document keeps the tree as it is, drives attached since included.
    const node_id root = tree().roots()[0];
    tree().FillChildren(root);
    test::write_file(table, "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /media/new vfat rw 0 0\n");
    tree().OnInitialUpdate();
    EXPECT_EQ(tree().roots().size(), std::size(expected));
    EXPECT_TRUE(tree().node(root).filled);
}
#endif

TEST_F(DriveTreeTest, LabelsDrivesByRootAndKind) {
    struct row {
        platform::Drive drive;
        std::string label;
    };
    const row rows[] = {
        {{"/", platform::DriveKind::HardDisk}, "/ (HARD-DISK)"},
        {{"/media/usb", platform::DriveKind::Removable}, "/media/usb (REMOVABLE)"},
        {{"C:\\", platform::DriveKind::HardDisk}, "C: (HARD-DISK)"},
        {{"D:\\", platform::DriveKind::CdRom}, "D: (CD-ROM)"},
        {{"R:\\", platform::DriveKind::Remote}, "R: (REMOTE)"},
        {{"Z:\\", platform::DriveKind::Other}, "Z: (ETC-DRIVE)"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(drive_tree::DriveLabel(r.drive), r.label);
    }
}

TEST_F(DriveTreeTest, ShowsFoldersAndEncryptedFilesSortedTogether) {
    for (const char* name : {"report.vek", "a.vek.bak", "data.vekx", "zeta.vek", "REPORT.VEK",
                             "notes.txt", ".hidden.vek"}) {
        test::write_file(dir / name, "x");
    }
    for (const char* name : {"Beta", "alpha", ".config", "gamma.VEK"}) {
        test::make_folder(dir / name);
    }
    tree().OnInitialUpdate();
    const node_id folder = find(dir.path());
    ASSERT_NE(folder, kNoNode);
    EXPECT_EQ(labels(folder), std::vector<std::string>{"DUMY"});
    tree().OnItemExpanded(folder);
    EXPECT_EQ(labels(folder), (std::vector<std::string>{"a.vek.bak", "alpha", "Beta", "data.vekx",
                                                        "gamma.VEK", "report.vek", "zeta.vek"}));
    for (const node_id child : tree().node(folder).children) {
        const tree_node& node = tree().node(child);
        const bool is_folder =
            node.label == "alpha" || node.label == "Beta" || node.label == "gamma.VEK";
        EXPECT_EQ(node.kind, is_folder ? node_kind::folder : node_kind::encrypted_file);
        EXPECT_EQ(node.image, is_folder ? tree_pane::kImageFolder : tree_pane::kImageEncrypted);
        EXPECT_EQ(node.selected_image, node.image + 1);
        // Every node first shows as expandable.
        EXPECT_EQ(labels(child), std::vector<std::string>{"DUMY"});
    }
    // The window was told of every node the model holds, and of nothing else.
    std::vector<node_id> held;
    std::vector<node_id> open(tree().roots().begin(), tree().roots().end());
    while (!open.empty()) {
        const node_id id = open.back();
        open.pop_back();
        held.push_back(id);
        open.insert(open.end(), tree().node(id).children.begin(), tree().node(id).children.end());
    }
    std::vector<node_id> shown = session.tree_pane.shown;
    std::sort(held.begin(), held.end());
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, held);
}

TEST_F(DriveTreeTest, ListsAFolderOnlyOnce) {
    test::make_folder(dir / "box");
    test::make_folder(dir / "gone");
    test::write_file(dir / "box" + kSep + "one.vek", "x");
    test::write_file(dir / "file.vek", "x");
    tree().OnInitialUpdate();
    const node_id box = find(dir / "box");
    ASSERT_NE(box, kNoNode);
    EXPECT_FALSE(tree().node(box).filled);
    tree().OnItemExpanded(box);
    EXPECT_EQ(labels(box), std::vector<std::string>{"one.vek"});
    EXPECT_TRUE(tree().node(box).filled);

    // Later changes on disk do not show: the folder is not listed again.
    test::write_file(dir / "box" + kSep + "two.vek", "x");
    tree().OnItemExpanded(box);
    EXPECT_EQ(labels(box), std::vector<std::string>{"one.vek"});

    // An encrypted file, or a folder that no longer exists, ends up empty.
    const node_id file = find(dir / "file.vek");
    const node_id gone = find(dir / "gone");
    const std::string gone_path = dir / "gone";
    std::filesystem::remove(
        std::filesystem::path(std::u8string(gone_path.begin(), gone_path.end())));
    for (const node_id id : {file, gone}) {
        tree().OnItemExpanded(id);
        EXPECT_TRUE(tree().node(id).children.empty());
        EXPECT_TRUE(tree().node(id).filled);
    }
}

TEST_F(DriveTreeTest, SelectionSetsTheCaptionAndThePath) {
#ifdef _WIN32
    const std::string odd_name = "a[1]b";
#else
    const std::string odd_name = "a[*]b";
#endif
    test::make_folder(dir / odd_name);
    tree().OnInitialUpdate();
    const node_id root = tree().roots().front();
    tree().OnSelChanged(root);
    EXPECT_EQ(session.doc().m_strSelectedPath, tree().node(root).name);
    EXPECT_EQ(session.frame.caption,
              "Orvinta VEK Decoder Version " VEKDC_VERSION "  <<" + tree().node(root).label + ">>");
    const node_id odd = find(dir / odd_name);
    tree().OnSelChanged(odd);
    EXPECT_EQ(session.doc().m_strSelectedPath, dir / odd_name);
    const std::string caption =
        "Orvinta VEK Decoder Version " VEKDC_VERSION "  <<" + odd_name + ">>";
    EXPECT_EQ(session.frame.caption, caption);
    // No selection: no path; the caption stays.
    tree().OnSelChanged(kNoNode);
    EXPECT_EQ(session.doc().m_strSelectedPath, "");
    EXPECT_EQ(session.frame.caption, caption);
}

TEST_F(DriveTreeTest, EnterCollectsOneLevelAndStartsTheDecode) {
    test::make_folder(dir / "one" + kSep + "sub");
    test::write_file(dir / "one" + kSep + "report.vek", "x");
    test::write_file(dir / "one" + kSep + "notes.txt", "x");
    test::write_file(dir / "one" + kSep + "sub" + kSep + "inner.vek", "x");
    test::make_folder(dir / "c.vek" + kSep + "sub");
    test::write_file(dir / "c.vek" + kSep + "report.vek", "x");
    test::write_file(dir / "c.vek" + kSep + "notes.txt", "x");
    tree().OnInitialUpdate();
    const std::string one = dir / "one";
    const std::string vek = dir / "c.vek";
    struct row {
        const char* name;
        std::string selected;  // empty: none
        std::vector<std::string> listed;
        std::vector<std::string> boxes;
    };
    const row rows[] = {
        {"a folder: its own encrypted files",
         one,
         {one + kSep + "report.vek"},
         {ja(text_id::no_out_dir)}},
        // The test looks at whole paths: the folder and all it holds.
        {"a folder named like an encrypted file",
         vek,
         {vek, vek + kSep + "report.vek", vek + kSep + "sub"},
         {ja(text_id::no_out_dir)}},
        {"an encrypted file",
         one + kSep + "report.vek",
         {one + kSep + "report.vek"},
         {ja(text_id::no_out_dir)}},
        {"nothing selected", "", {}, {"NULL ", ja(text_id::empty_list)}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        session.panel().ClearFileList();
        const node_id id = r.selected.empty() ? kNoNode : select(r.selected);
        tree().OnSelChanged(id);
        session.recorder->boxes.clear();
        tree().OnKeyDown(drive_tree::key::enter);
        EXPECT_EQ(listed(), r.listed);
        EXPECT_EQ(session.recorder->texts(), r.boxes);
        if (id != kNoNode) {
            EXPECT_EQ(session.tree_pane.expanded.back(), id);
        }
    }
    EXPECT_EQ(session.recorder->boxes.front().caption, platform::kAppTitle);
}

TEST_F(DriveTreeTest, SpaceAddsAnEncryptedFileOnceAndF5Decodes) {
    test::write_file(dir / "a.vek", "x");
    tree().OnInitialUpdate();
    select(dir / "a.vek");
    tree().OnKeyDown(drive_tree::key::space);
    tree().OnKeyDown(drive_tree::key::space);
    EXPECT_EQ(listed(), std::vector<std::string>{dir / "a.vek"});
    // A screen reader hears whether each Space added the file.
    EXPECT_EQ(session.frame.announced,
              (std::vector<std::string>{format(ja(text_id::files_added), {"1"}),
                                        format(ja(text_id::files_added), {"0"})}));
    select(dir.path());  // a folder is no encrypted file
    tree().OnKeyDown(drive_tree::key::space);
    tree().OnSelChanged(kNoNode);
    tree().OnKeyDown(drive_tree::key::space);
    EXPECT_EQ(listed().size(), 1u);
    EXPECT_TRUE(session.recorder->boxes.empty());
    tree().OnKeyDown(drive_tree::key::f5);
    EXPECT_EQ(session.recorder->texts(), std::vector<std::string>{ja(text_id::no_out_dir)});
}

TEST_F(DriveTreeTest, RightDoubleClickDecodesTheSelectedLabel) {
    test::make_folder(dir / "rdbl");
    test::write_file(dir / "rdbl" + kSep + "z.vek", "x");
    tree().OnInitialUpdate();
    const std::string folder = dir / "rdbl";
    const std::string question = format(ja(text_id::decode_folder_question), {folder});
    struct row {
        const char* name;
        std::string selected;
        bool on_label;
        bool decoding;
        std::optional<platform::Answer> answer;  // to the question, where one is asked
        std::vector<std::string> boxes;
        std::vector<std::string> listed;
    };
    const row rows[] = {
        {"off the label", folder, false, false, std::nullopt, {}, {}},
        {"nothing selected", "", true, false, std::nullopt, {}, {}},
        {"a folder, No", folder, true, false, platform::Answer::No, {question}, {}},
        {"a folder, Yes",
         folder,
         true,
         false,
         platform::Answer::Yes,
         {question, ja(text_id::no_out_dir)},
         {folder + kSep + "z.vek"}},
        {"a file: no question",
         folder + kSep + "z.vek",
         true,
         false,
         std::nullopt,
         {ja(text_id::no_out_dir)},
         {folder + kSep + "z.vek"}},
        {"while decoding", folder, true, true, std::nullopt, {ja(text_id::busy)}, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        session.panel().ClearFileList();
        tree().OnSelChanged(r.selected.empty() ? kNoNode : select(r.selected));
        session.recorder->boxes.clear();
        if (r.answer) {
            session.recorder->setNextAnswer(*r.answer);
        }
        session.doc().m_bDecoding = r.decoding ? 1 : 0;
        tree().OnRButtonDblClk(r.on_label);
        session.doc().m_bDecoding = 0;
        EXPECT_EQ(session.recorder->texts(), r.boxes);
        EXPECT_EQ(listed(), r.listed);
        if (!r.boxes.empty() && r.boxes.front() == question) {
            EXPECT_EQ(session.recorder->boxes.front().buttons, platform::Buttons::YesNo);
            EXPECT_EQ(session.recorder->boxes.front().icon, platform::Icon::Question);
        }
    }
}

TEST_F(DriveTreeTest, F2WidensOrNarrowsInSteps) {
    struct row {
        const char* name;
        int current, total, names;
        int steps, last;
    };
    const row rows[] = {
        {"full width: narrows to 200", 990, 1000, 0, 79, 200},
        {"not a step multiple: just under 200", 995, 1000, 0, 80, 195},
        {"long names: wider", 990, 1000, 300, 69, 300},
        {"long names, not a step multiple: exactly", 990, 1000, 305, 69, 305},
        {"names wider than half: half", 990, 1000, 800, 49, 500},
        {"narrow: widens past the whole", 195, 1000, 0, 81, 1005},
        {"narrow and no room: nothing", 195, 200, 0, 0, 195},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        session.tree_pane.width = r.current;
        session.tree_pane.pane = r.total;
        session.tree_pane.names_width = r.names;
        session.tree_pane.widths.clear();
        tree().OnKeyDown(drive_tree::key::f2);
        EXPECT_EQ(session.tree_pane.widths.size(), static_cast<std::size_t>(r.steps));
        EXPECT_EQ(session.tree_pane.width, r.last);
    }
}

TEST_F(DriveTreeTest, ColoursComeFromTheSettingsAtEveryInitialUpdate) {
    tree().OnInitialUpdate();
    EXPECT_EQ(session.tree_pane.back, 0x00FFFFFFu);
    session.settings.values["CLeftView/PaneColorLBack"] = "00203040";
    tree().OnInitialUpdate();
    EXPECT_EQ(session.tree_pane.back, 0x00203040u);
    EXPECT_EQ(session.tree_pane.text, 0u);
}

}  // namespace
}  // namespace vekdc::desktop
