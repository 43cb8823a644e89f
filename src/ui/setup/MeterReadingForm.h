// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>

class MeterReadingStore;
class NumericFieldBinding;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class RegisterWatch;
struct AppContext;

// "Meter Reading": the meter's own reading now and the source it follows, setting it to what the meter shows,
// and the accuracy check with its history. A two-rate meter's two registers each have their rows, captioned with
// their tariff's name; with one tariff the second's rows are hidden. While a register region is set, what the camera
// reads on the register's wheels (CameraReadingBox).
class MeterReadingForm : public QWidget
{
    Q_OBJECT

public:
    MeterReadingForm(AppContext& ctx, MeterReadingStore& store, RegisterWatch& watch, QWidget* parent = nullptr);

    void setReading(int tariff = 1);
    void checkAccuracy(int tariff = 1);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // One register's widgets: its reading now, setting it and checking it.
    struct RegisterRows
    {
        QLabel* readingCaption = nullptr;
        QLabel* reading = nullptr;
        QLabel* source = nullptr;
        QLabel* cost = nullptr;
        QLabel* setCaption = nullptr;
        QLineEdit* newReading = nullptr;
        QPushButton* set = nullptr;
        QLabel* checkCaption = nullptr;
        QLineEdit* meterNow = nullptr;
        QPushButton* check = nullptr;
    };

    void addRegisterRows(int tariff);
    void showReading();
    void showRegister(int tariff);
    void showChecks();

    AppContext& m_ctx;
    MeterReadingStore& m_store;
    NumericFieldBinding* m_binding = nullptr;
    QFormLayout* m_nowForm = nullptr;
    QFormLayout* m_setForm = nullptr;
    QFormLayout* m_checkForm = nullptr;
    std::array<RegisterRows, 2> m_rows;
    QLabel* m_setFor = nullptr;
    QListWidget* m_checks = nullptr;
};
