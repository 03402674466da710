// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Guard.h"

#include "foundation/Exceptions.h"
#include "foundation/Notice.h"

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const tAbort&) {
        // silent by definition
    } catch (const tException& e) {
        ShowError(e.Message());
    } catch (const std::exception& e) {
        ShowError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Non-VCL Exception"));
    }
}
