#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace tessaly {

// One validated row of the translate table.
struct TMyRec {
    std::uint8_t DataType = 0;
    std::uint16_t TcpAddress = 0;
    std::uint8_t RtuAddDev = 0;
    std::uint16_t RtuAddress = 0;
    std::uint8_t NPoint = 0;
    QString Mnemonic;

    friend bool operator==(const TMyRec&, const TMyRec&) = default;
};

// The data types by the names the table offers; a name's code is its index + 1.
inline const QString CoilStatusName = QStringLiteral("Coil Status");
inline const QString InputStatusName = QStringLiteral("Input Status");
inline const QString HoldingRegisterName = QStringLiteral("Holding Register");
inline const QString InputRegisterName = QStringLiteral("Input Register");
inline const QStringList DataTypeNames = {CoilStatusName, InputStatusName, HoldingRegisterName,
                                          InputRegisterName};

// The code of a data type name, matched exactly, case included.
std::optional<std::uint8_t> dataTypeCode(const QString& name);
// The name of a data type code; empty for any other value.
QString dataTypeName(std::int32_t code);

// The editable cells of one table row, in column order (the row number is not a cell).
enum TableColumn {
    DataTypeColumn,
    TcpAddressColumn,
    RtuAddDevColumn,
    RtuAddressColumn,
    NPointColumn,
    MnemonicColumn,
    TableColumnCount
};
using TableRow = std::array<QString, TableColumnCount>;

// The six attribute texts of one `row` element of var.xml, in document order.
using VarRowAttributes = std::array<QString, TableColumnCount>;

// The number of rows the table editor offers.
inline constexpr int TranslateTableRows = 2000;

inline const QString TypeDataLineMessage =
    QStringLiteral("Error!! Type Data must be Holding Register or Input Register (Line %1). ");
inline const QString DataTypeMessage =
    QStringLiteral("Error!! Data Type must be Holding Register or Input Register. ");
inline const QString TcpAddressMessage = QStringLiteral("Error!! Address TCP must be between 0 and 65535. ");
inline const QString RtuAddDevMessage =
    QStringLiteral("Error!! Address Device RTU must be between 0 and 255. ");
inline const QString RtuAddressMessage = QStringLiteral("Error!! Address RTU must be between 0 and 65535. ");
inline const QString NPointMessage = QStringLiteral("Error!! N° Point must be between 0 and 127. ");

// The outcome of checking the table: the records, or the first failure.
struct TableCheck {
    QList<TMyRec> records;
    int failedRow = 0; // 1-based row of the failure, 0 when the table is valid
    QString message;   // the failure's message, empty when the table is valid
    bool ok() const { return failedRow == 0; }
};

// The data type pre-check: every non-empty "Data Type" cell, in every row, must be one
// of the four names. Fails with the line message.
TableCheck CheckDataTypeNames(std::span<const TableRow> rows);

// Collects the rows from the first down to the first one whose "Address TCP" is empty
// and validates their cells in column order; stops at the first failure.
TableCheck ValidateTranslateTable(std::span<const TableRow> rows);

// What the table editor's OK does before writing: the pre-check, then the validation.
TableCheck ConfirmTranslateTable(std::span<const TableRow> rows);

// The attributes a record is stored with: decimal numbers, the mnemonic unchanged.
VarRowAttributes attributesOf(const TMyRec& record);

// The cells a stored row shows: DATA_TYPE by name (empty when it is no data type
// code), the other attributes unchanged.
TableRow cellsOf(const VarRowAttributes& attributes);

} // namespace tessaly
