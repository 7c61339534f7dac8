#pragma once

#include <QDialog>

struct SizeInfo;

// Total, used and free space of one partition, with a bar of the used share.
class StorageSizeDialog final : public QDialog {
    Q_OBJECT
public:
    StorageSizeDialog(const SizeInfo &info, QWidget *parent = nullptr);
};
