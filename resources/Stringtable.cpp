// SPDX-License-Identifier: GPL-3.0-or-later
// The program's string table: message numbers and their texts.
#include "foundation/Stringtable.h"

#include <QCoreApplication>
#include <QHash>

QString LoadStr(int id) {
    // The Russian texts are the sources of the translation (context "Stringtable").
    static const QHash<int, const char*> table = {
        {903, QT_TRANSLATE_NOOP("Stringtable", "Системная ошибка: ")},
        {1000,
         QT_TRANSLATE_NOOP("Stringtable", "Невозможно установить заголовок окна.\r\nСистема сообщает: ")},
        {1001, QT_TRANSLATE_NOOP("Stringtable", "Невозможно получить класс окна.\r\nСистема сообщает: ")},
        {1002,
         QT_TRANSLATE_NOOP("Stringtable", "Невозможно создать объект синхронизации.\r\nСистема сообщает: ")},
        {1004, QT_TRANSLATE_NOOP("Stringtable",
                                 "Невозможно прочитать настройки из '%s'.\r\nПричина: Файл не найден.")},
        {1007,
         QT_TRANSLATE_NOOP("Stringtable", "Невозможно открыть устройство '%s'.\r\nСистема сообщает: %s")},
        {1008, QT_TRANSLATE_NOOP("Stringtable",
                                 "Невозможно задать параметры устройства '%s'.\r\nСистема сообщает: %s")},
        {1013, QT_TRANSLATE_NOOP(
                   "Stringtable",
                   "Измерительные устройства не обнаружены!\r\nПричина: Возможно они используются другой "
                   "программой.\r\nЗакройте программы, использующие измерительные устройства и проверьте "
                   "правильность подключения их к ПК.")},
        {1014, QT_TRANSLATE_NOOP(
                   "Stringtable",
                   "Измерительные устройства не обнаружены!\r\nПричина: COM-порты в системе не "
                   "обнаружены.\r\nПроверьте правильность подключения измерительных устройств к ПК.")},
        {5000, QT_TRANSLATE_NOOP("Stringtable", "Запуск программы.")},
        {5001, QT_TRANSLATE_NOOP("Stringtable", "Остановка программы.")},
        {5003, QT_TRANSLATE_NOOP("Stringtable", "Вы действительно хотите выйти из программы?")},
        {5009, QT_TRANSLATE_NOOP("Stringtable", "Описание для данного эксперимента не доступно.")},
        {5010, QT_TRANSLATE_NOOP("Stringtable",
                                 "Внимание! При открытии нового эксперимента все собранные данные будут "
                                 "потеряны.\r\nПродолжить?")},
        {5011,
         QT_TRANSLATE_NOOP("Stringtable", "Внимание! Перед подключением к датчику выберите эксперимент.")},
        {5012, QT_TRANSLATE_NOOP("Stringtable",
                                 "Невозможно загрузить сценарий проведения эксперимента.\r\nПричина: ")},
        {5013, QT_TRANSLATE_NOOP("Stringtable", "Шаблон отчета для данного эксперимента не доступен.")},
        {10002, QT_TRANSLATE_NOOP("Stringtable", "Ошибка получения данных от измерительного устройства.")},
        {10003, QT_TRANSLATE_NOOP("Stringtable", "Ошибка посылки данных измерительному устройству.")},
        {20000, QT_TRANSLATE_NOOP("Stringtable", "Ошибка")},
        {20001, QT_TRANSLATE_NOOP("Stringtable", "Внимание")},
        {20003, QT_TRANSLATE_NOOP("Stringtable", "Подтверждение")},
        {20005, QT_TRANSLATE_NOOP("Stringtable", "Ввод данных")},
    };
    const char* text = table.value(id);
    return text ? QCoreApplication::translate("Stringtable", text) : QString();
}
