#include "app/MarketStartWindow.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kestrelan {

MarketStartChoice MarketStartWindow::choose(const std::filesystem::path& folder)
{
    QMessageBox box(QMessageBox::Question, "Kestrelan",
                    QString("시장 데이터가 없습니다. %1에 표본 시장을 만들거나, 가지고 있는 일별 시세 CSV 파일을 "
                            "가져오십시오.")
                        .arg(QString::fromStdString(folder.string())));
    box.setInformativeText("CSV 파일: 종목마다 <종목코드>.csv가 있는 폴더, 지수 파일, 종목코드,종목명 파일 "
                           "(자세한 형식은 도움말의 '데이터' 쪽에 있습니다).");
    QPushButton* sample = box.addButton("표본 시장 만들기", QMessageBox::AcceptRole);
    QPushButton* import = box.addButton("CSV 파일 가져오기...", QMessageBox::ActionRole);
    QPushButton* quit = box.addButton("끝내기", QMessageBox::RejectRole);
    box.setDefaultButton(sample);
    box.setEscapeButton(quit);
    box.exec();
    if (box.clickedButton() == sample)
        return MarketStartChoice::Sample;
    if (box.clickedButton() == import)
        return MarketStartChoice::ImportCsv;
    return MarketStartChoice::Quit;
}

std::optional<CsvFiles> MarketStartWindow::pickCsvFiles()
{
    const QString csv = "CSV (*.csv *.txt *.tsv *.CSV *.TXT *.TSV);;모든 파일 (*)";
    const QString prices = QFileDialog::getExistingDirectory(nullptr, "종목마다 <종목코드>.csv가 있는 폴더");
    if (prices.isEmpty())
        return std::nullopt;
    const QString index = QFileDialog::getOpenFileName(nullptr, "지수 CSV 파일 (날짜, 종가, 시가)", prices, csv);
    if (index.isEmpty())
        return std::nullopt;
    const QString names = QFileDialog::getOpenFileName(nullptr, "종목코드,종목명 CSV 파일", prices, csv);
    if (names.isEmpty())
        return std::nullopt;
    return CsvFiles{prices.toStdString(), index.toStdString(), names.toStdString()};
}

} // namespace kestrelan
