// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

class MeterReadingStore;
class QLabel;
class QPushButton;
class RegisterWatch;
struct AppContext;

// What the camera reads on the register's wheels, on the Meter Reading screen: with no reading set the reading it
// proposes, with one set how the last read compared with the count, and why nothing is read when the register region
// cannot be used. Its button takes the camera's reading where there is one to take. Hidden while no register region
// is set.
class CameraReadingBox : public QGroupBox
{
    Q_OBJECT

public:
    CameraReadingBox(AppContext& ctx, MeterReadingStore& store, RegisterWatch& watch, QWidget* parent = nullptr);

    void takeReading();

private:
    void showRead();
    QString readText() const;
    // As the wheels show it: leading zeros to the register's digits, its decimals, the locale's decimal point.
    QString wheelsText(double kWh) const;

    AppContext& m_ctx;
    MeterReadingStore& m_store;
    RegisterWatch& m_watch;
    QLabel* m_text = nullptr;
    QPushButton* m_take = nullptr;
};
