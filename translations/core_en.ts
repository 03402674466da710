<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="ru_RU">
<context>
    <name>Stringtable</name>
    <message>
        <source>Системная ошибка: </source>
        <translation>System error: </translation>
    </message>
    <message>
        <source>Невозможно установить заголовок окна.<byte value="xd"/>
Система сообщает: </source>
        <translation>Cannot set the window title.<byte value="xd"/>
The system says: </translation>
    </message>
    <message>
        <source>Невозможно получить класс окна.<byte value="xd"/>
Система сообщает: </source>
        <translation>Cannot get the window class.<byte value="xd"/>
The system says: </translation>
    </message>
    <message>
        <source>Невозможно создать объект синхронизации.<byte value="xd"/>
Система сообщает: </source>
        <translation>Cannot create a synchronisation object.<byte value="xd"/>
The system says: </translation>
    </message>
    <message>
        <source>Невозможно прочитать настройки из &apos;%s&apos;.<byte value="xd"/>
Причина: Файл не найден.</source>
        <translation>Cannot read the settings from &apos;%s&apos;.<byte value="xd"/>
Reason: File not found.</translation>
    </message>
    <message>
        <source>Невозможно открыть устройство &apos;%s&apos;.<byte value="xd"/>
Система сообщает: %s</source>
        <translation>Cannot open the device &apos;%s&apos;.<byte value="xd"/>
The system says: %s</translation>
    </message>
    <message>
        <source>Невозможно задать параметры устройства &apos;%s&apos;.<byte value="xd"/>
Система сообщает: %s</source>
        <translation>Cannot set the parameters of the device &apos;%s&apos;.<byte value="xd"/>
The system says: %s</translation>
    </message>
    <message>
        <source>Измерительные устройства не обнаружены!<byte value="xd"/>
Причина: Возможно они используются другой программой.<byte value="xd"/>
Закройте программы, использующие измерительные устройства и проверьте правильность подключения их к ПК.</source>
        <translation>No measuring devices found!<byte value="xd"/>
Reason: They may be in use by another program.<byte value="xd"/>
Close the programs that use measuring devices and check that they are connected to the computer correctly.</translation>
    </message>
    <message>
        <source>Измерительные устройства не обнаружены!<byte value="xd"/>
Причина: COM-порты в системе не обнаружены.<byte value="xd"/>
Проверьте правильность подключения измерительных устройств к ПК.</source>
        <translation>No measuring devices found!<byte value="xd"/>
Reason: The system has no serial ports.<byte value="xd"/>
Check that the measuring devices are connected to the computer correctly.</translation>
    </message>
    <message>
        <source>Запуск программы.</source>
        <translation>Program started.</translation>
    </message>
    <message>
        <source>Остановка программы.</source>
        <translation>Program stopped.</translation>
    </message>
    <message>
        <source>Вы действительно хотите выйти из программы?</source>
        <translation>Do you really want to quit the program?</translation>
    </message>
    <message>
        <source>Описание для данного эксперимента не доступно.</source>
        <translation>No description is available for this experiment.</translation>
    </message>
    <message>
        <source>Внимание! При открытии нового эксперимента все собранные данные будут потеряны.<byte value="xd"/>
Продолжить?</source>
        <translation>Attention! Opening a new experiment will discard all the data collected.<byte value="xd"/>
Continue?</translation>
    </message>
    <message>
        <source>Внимание! Перед подключением к датчику выберите эксперимент.</source>
        <translation>Attention! Choose an experiment before connecting to the sensor.</translation>
    </message>
    <message>
        <source>Невозможно загрузить сценарий проведения эксперимента.<byte value="xd"/>
Причина: </source>
        <translation>Cannot load the experiment scenario.<byte value="xd"/>
Reason: </translation>
    </message>
    <message>
        <source>Шаблон отчета для данного эксперимента не доступен.</source>
        <translation>No report template is available for this experiment.</translation>
    </message>
    <message>
        <source>Ошибка получения данных от измерительного устройства.</source>
        <translation>Error receiving data from the measuring device.</translation>
    </message>
    <message>
        <source>Ошибка посылки данных измерительному устройству.</source>
        <translation>Error sending data to the measuring device.</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Внимание</source>
        <translation>Attention</translation>
    </message>
    <message>
        <source>Подтверждение</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>Ввод данных</source>
        <translation>Data entry</translation>
    </message>
</context>
</TS>
