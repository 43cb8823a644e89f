// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class MeterReadingStore;
class NumericFieldBinding;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct AppContext;

// "Meter Reading": the meter's own reading now and the source it follows, setting it to what the meter shows,
// and the accuracy check with its history.
class MeterReadingForm : public QWidget
{
    Q_OBJECT

public:
    MeterReadingForm(AppContext& ctx, MeterReadingStore& store, QWidget* parent = nullptr);

    void setReading();
    void checkAccuracy();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showReading();

    AppContext& m_ctx;
    MeterReadingStore& m_store;
    NumericFieldBinding* m_binding = nullptr;
    QLabel* m_reading = nullptr;
    QLabel* m_source = nullptr;
    QLabel* m_cost = nullptr;
    QLabel* m_setFor = nullptr;
    QLineEdit* m_newReading = nullptr;
    QPushButton* m_set = nullptr;
    QLineEdit* m_meterNow = nullptr;
    QPushButton* m_check = nullptr;
    QListWidget* m_checks = nullptr;
};
