// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class CaptureComponent;
class Dialogs;
class QWidget;

// The capture component's own dialogs, modal over `parent`, each working through the component's lists and
// setters.

// The selected device's settings: the simulated meter's dialog, the camera's controls while it runs, or the
// choice of another video file while none plays.
void showDeviceSettings(CaptureComponent& capture, Dialogs& dialogs, QWidget* parent);
// Size, subtype and frame rate; a running camera restarts with them.
void showStreamSettings(CaptureComponent& capture, QWidget* parent);
// The detection grid's cells, over the latest picture.
void showGridEditor(CaptureComponent& capture, QWidget* parent);
