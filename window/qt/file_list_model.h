// The input list of the desktop core as a Qt model: each entry shows its file
// name before its folder, with the whole path as its tooltip. Every column of
// the list is as wide as its widest entry, so no name is cut; the list
// scrolls sideways where names are long.
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <vector>

#include "desktop/file_list.h"

namespace vekdc {

class FileListModel : public QAbstractListModel {
public:
    // The entry's path as the system's bytes (QByteArray).
    static constexpr int kPathRole = Qt::UserRole;

    explicit FileListModel(const desktop::file_list& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The list's changes, as the core tells them.
    void Inserted(std::size_t row);
    void Removed(std::size_t row);
    void Cleared();

    // The width of the widest label in `metrics`' font (labels are measured
    // once, as they come).
    int WidestLabel(const QFontMetrics& metrics) const;

private:
    const desktop::file_list& m_list;
    mutable std::vector<int> m_widths;  // -1: not measured yet
    mutable QString m_measuredFont;     // the font the widths were measured in
    mutable int m_widest = 0;
};

// Gives every entry the width of the widest one.
class FileListDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace vekdc
