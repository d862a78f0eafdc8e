// SPDX-License-Identifier: MIT

#pragma once

// Every dialog of the desktop client.
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/AutoLogSettingsDialog.h"
#include "gui/dialogs/ChannelDialog.h"
#include "gui/dialogs/ClientSettingsDialog.h"
#include "gui/dialogs/ColorSettingsDialog.h"
#include "gui/dialogs/ConnectDialog.h"
#include "gui/dialogs/FileReceiveDialog.h"
#include "gui/dialogs/FileSendDialog.h"
#include "gui/dialogs/FontSettingsDialog.h"
#include "gui/dialogs/KeyConfigDialog.h"
#include "gui/dialogs/ModeDialog.h"
#include "gui/dialogs/NameDialog.h"
#include "gui/dialogs/NotifySettingsDialog.h"
#include "gui/dialogs/PrivateMessageDialog.h"
#include "gui/dialogs/RollDialog.h"
#include "gui/dialogs/SoundSendDialog.h"
