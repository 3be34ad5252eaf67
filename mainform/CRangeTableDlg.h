#pragma once
// The trading range table window: ksp.txt for the risk profile chosen on the form, read-only.

#include <QDialog>
#include <filesystem>

namespace kestrelan {

class CRangeTableDlg : public QDialog
{
    Q_OBJECT
public:
    CRangeTableDlg(const std::filesystem::path& rangeTableFile, int riskProfile, QWidget* parent = nullptr);
};

} // namespace kestrelan
