#pragma once

#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

// Draws a row of a file list: check box, icon, name, and a grey second line with date and size.
class FileRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum class Pane { Device, Pc };

    explicit FileRowDelegate(Pane pane, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // PC pane with APK details on: APK rows show image i of `icons` (one per row) and their file name.
    void setApkDetails(bool on, QList<QPixmap> icons);
    const QList<QPixmap> &apkIcons() const { return m_apkIcons; }

private:
    Pane m_pane;
    bool m_apkDetails = false;
    QList<QPixmap> m_apkIcons;
};
