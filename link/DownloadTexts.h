#pragma once

#include "link/DownloadProtocol.h"

#include <QString>

// The words of the download that the dialog and the command line both say: the protocol reports
// what happened, these texts tell the user.
namespace downloadtext {

// The status line until the instrument is identified, and after.
const QString& waiting();
const QString& receiving();
// The type line of the accepted instrument.
const QString& instrumentName();
// The dialog's caption and the command line's progress: the share followed by "% - Прием данных".
QString caption(int percent);
// The message of a download that ended with Cancel; empty for the user's own "Отмена".
QString failure(const DownloadProtocol::Failed& failed);
const QString& lineLost();

} // namespace downloadtext
