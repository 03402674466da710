<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="ru_RU">
<context>
    <name>Access</name>
    <message>
        <source>Устройство &apos;%1&apos; не найдено: датчик не подключён или его драйвер не загружен.</source>
        <translation>Device &apos;%1&apos; not found: the sensor is not connected or its driver is not loaded.</translation>
    </message>
    <message>
        <source>Нет прав на доступ к устройству &apos;%1&apos; (права %2, группа &apos;%3&apos;). Добавьте пользователя в группу &apos;%3&apos; и войдите в систему заново, либо установите правило udev программы %4 в /usr/lib/udev/rules.d/ и переподключите датчик.</source>
        <translation>No permission to use the device &apos;%1&apos; (permissions %2, group &apos;%3&apos;). Add the user to the group &apos;%3&apos; and log in again, or install the program&apos;s udev rule %4 in /usr/lib/udev/rules.d/ and reconnect the sensor.</translation>
    </message>
    <message>
        <source>Устройство &apos;%1&apos; занято другой программой. Закройте её и повторите попытку.</source>
        <translation>Device &apos;%1&apos; is in use by another program. Close that program and try again.</translation>
    </message>
    <message>
        <source>Устройство &apos;%1&apos; не открывается: %2</source>
        <translation>Device &apos;%1&apos; cannot be opened: %2</translation>
    </message>
    <message>
        <source>В системе нет ни одного последовательного порта датчика (/dev/ttyACM*, /dev/ttyUSB*). Проверьте подключение датчика к ПК и загрузку драйвера (модули cdc_acm, ftdi_sio; журнал ядра: dmesg). Правило udev программы: %1. Встроенные порты (/dev/ttyS*) просматриваются, только если они названы в настройке SerialPorts.</source>
        <translation>The system has no serial port for a sensor (/dev/ttyACM*, /dev/ttyUSB*). Check that the sensor is connected to the computer and that its driver is loaded (modules cdc_acm, ftdi_sio; kernel log: dmesg). The program&apos;s udev rule: %1. Built-in ports (/dev/ttyS*) are only searched when the setting SerialPorts names them.</translation>
    </message>
</context>
<context>
    <name>Commexchange</name>
    <message>
        <source>Невозможно получить состояние устройства на порту: %1.</source>
        <translation>Cannot get the state of the device on the port: %1.</translation>
    </message>
</context>
<context>
    <name>Commreception</name>
    <message>
        <source>??? Thread: Библиотека доступа через интерфейс FTDI не загружена!</source>
        <translation>??? Thread: The FTDI access library is not loaded!</translation>
    </message>
</context>
<context>
    <name>Experiment</name>
    <message>
        <source>%1 (не указано, по умолчанию %2)</source>
        <translation>%1 (not given, default %2)</translation>
    </message>
    <message>
        <source> (не число, взято %1)</source>
        <translation> (not a number, %1 used)</translation>
    </message>
    <message>
        <source>SensorName= без значения: впишите модель датчика (например, SensorName=T100) или SensorName=NO для опыта без датчика.</source>
        <translation>SensorName= has no value: enter the sensor model (for example SensorName=T100), or SensorName=NO for an experiment without a sensor.</translation>
    </message>
    <message>
        <source>%1: период опроса датчика в микросекундах должен быть больше нуля (например, Freq=100000 — 10 точек в секунду).</source>
        <translation>%1: the sensor&apos;s sampling period in microseconds must be more than zero (for example Freq=100000 — 10 points a second).</translation>
    </message>
    <message>
        <source>%1: конец оси времени должен быть больше её начала, %2.</source>
        <translation>%1: the end of the time axis must be greater than its start, %2.</translation>
    </message>
    <message>
        <source>%1: верх оси значений должен быть больше её низа, %2.</source>
        <translation>%1: the top of the value axis must be greater than its bottom, %2.</translation>
    </message>
    <message>
        <source>%1=%2: в шаблоне числа нет ни 0, ни #, и вместо значения был бы виден этот текст (например, %1=0.0 показывает 21,5).</source>
        <translation>%1=%2: the number pattern has neither 0 nor #, so this text would be shown instead of the value (for example %1=0.0 shows 21.5).</translation>
    </message>
    <message>
        <source>Не указан датчик используемый в экперименте.</source>
        <translation>The sensor used in the experiment is not given.</translation>
    </message>
    <message>
        <source>В сценарии есть значения, с которыми опыт не пойдёт:</source>
        <translation>The scenario has values that the experiment cannot run with:</translation>
    </message>
    <message>
        <source>В файле &apos;%1&apos; есть значения, с которыми опыт не пойдёт:</source>
        <translation>The file &apos;%1&apos; has values that the experiment cannot run with:</translation>
    </message>
</context>
<context>
    <name>Ftdilibrary</name>
    <message>
        <source>??? Библиотека доступа через интерфейс FTDI не загружена!</source>
        <translation>??? The FTDI access library is not loaded!</translation>
    </message>
    <message>
        <source>Использование интерфейса FTDI невозможно!</source>
        <translation>The FTDI interface cannot be used!</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Причина: </source>
        <translation><byte value="xd"/>
Reason: </translation>
    </message>
</context>
<context>
    <name>Functions</name>
    <message>
        <source>%1 МБ</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 КБ</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>%1 байт</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>Файл &apos;%1&apos; слишком большой (%2 байт). Допускается не более %3.</source>
        <translation>The file &apos;%1&apos; is too large (%2 bytes). At most %3 is allowed.</translation>
    </message>
    <message>
        <source>Невозможно открыть файл &apos;%1&apos;.<byte value="xd"/>
Система сообщает: %2</source>
        <translation>Cannot open the file &apos;%1&apos;.<byte value="xd"/>
The system says: %2</translation>
    </message>
    <message>
        <source>Невозможно прочитать файл &apos;%1&apos;.<byte value="xd"/>
Система сообщает: %2</source>
        <translation>Cannot read the file &apos;%1&apos;.<byte value="xd"/>
The system says: %2</translation>
    </message>
    <message>
        <source>Файл &apos;%1&apos; не читается: это не обычный файл (канал, устройство или папка).</source>
        <translation>The file &apos;%1&apos; cannot be read: it is not an ordinary file (a pipe, a device or a folder).</translation>
    </message>
    <message>
        <source>Не удалось создать файл &quot;%1&quot;: %2</source>
        <translation>Could not create the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Не удалось записать файл &quot;%1&quot;: %2</source>
        <translation>Could not write the file &quot;%1&quot;: %2</translation>
    </message>
</context>
<context>
    <name>Messagebox</name>
    <message>
        <source>&amp;Сохранить</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Не сохранять</source>
        <translation>Do&amp;n&apos;t save</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>Milestones</name>
    <message>
        <source>последовательный порт</source>
        <translation>serial port</translation>
    </message>
</context>
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
    <message>
        <source>Ровелин для начальной школы</source>
        <translation>Rovelin for primary school</translation>
    </message>
</context>
<context>
    <name>TTablePage</name>
    <message>
        <source>Впишите измеренные пары чисел в нижнюю строку (*): «%1» и «%2». Точки сразу появляются на графике.</source>
        <translation>Type the measured pairs of numbers into the bottom row (*): “%1” and “%2”. The points appear on the chart at once.</translation>
    </message>
</context>
<context>
    <name>TTableView</name>
    <message>
        <source>Копировать</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Удалить строки</source>
        <translation>Delete rows</translation>
    </message>
</context>
<context>
    <name>TfmExperiments</name>
    <message>
        <source>Выбор эксперимента</source>
        <translation>Choose an experiment</translation>
    </message>
    <message>
        <source>&amp;Описание</source>
        <translation>&amp;Description</translation>
    </message>
    <message>
        <source>Показать/скрыть описание эксперимента</source>
        <translation>Show/hide the experiment&apos;s description</translation>
    </message>
    <message>
        <source>&amp;Копировать</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Копировать описание эксперимента в буфер обмена</source>
        <translation>Copy the experiment&apos;s description to the clipboard</translation>
    </message>
    <message>
        <source>&amp;Печать...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>Печать описания эксперимента</source>
        <translation>Print the experiment&apos;s description</translation>
    </message>
    <message>
        <source>Сохранить описание эксперимента в файл</source>
        <translation>Save the experiment&apos;s description to a file</translation>
    </message>
    <message>
        <source>Опыты</source>
        <translation>Experiments</translation>
    </message>
    <message>
        <source>Описание опыта</source>
        <translation>Experiment description</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>RTF-файлы (*.rtf)</source>
        <translation>RTF files (*.rtf)</translation>
    </message>
    <message>
        <source>Все файлы (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>%1 (нет доступа)</source>
        <translation>%1 (no access)</translation>
    </message>
    <message>
        <source>Ваши сценарии: %1</source>
        <translation>Your scenarios: %1</translation>
    </message>
    <message>
        <source>Сценарии школы: %1</source>
        <translation>School scenarios: %1</translation>
    </message>
</context>
<context>
    <name>TfmGuide</name>
    <message>
        <source>Руководство пользователя</source>
        <translation>User guide</translation>
    </message>
    <message>
        <source>← &amp;Назад</source>
        <translation>← &amp;Back</translation>
    </message>
    <message>
        <source>&amp;Вперёд →</source>
        <translation>&amp;Forward →</translation>
    </message>
    <message>
        <source>&amp;Содержание</source>
        <translation>&amp;Contents</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>C&amp;lose</translation>
    </message>
    <message>
        <source>Руководство пользователя — %1</source>
        <translation>User guide — %1</translation>
    </message>
</context>
<context>
    <name>TfrExperiment</name>
    <message>
        <source>Эксперимент проводится без датчика.</source>
        <translation>This experiment is done without a sensor.</translation>
    </message>
    <message>
        <source>&amp;Таблица</source>
        <translation>&amp;Table</translation>
    </message>
    <message>
        <source>&amp;График</source>
        <translation>&amp;Chart</translation>
    </message>
    <message>
        <source>&amp;Описание</source>
        <translation>&amp;Description</translation>
    </message>
    <message>
        <source>О&amp;тчет</source>
        <translation>&amp;Report</translation>
    </message>
    <message>
        <source>Опыт %1</source>
        <translation>Run %1</translation>
    </message>
    <message>
        <source>Введите метку точки:</source>
        <translation>Type the point&apos;s label:</translation>
    </message>
</context>
<context>
    <name>TfrPulse</name>
    <message>
        <source>Частота</source>
        <translation>Heart rate</translation>
    </message>
    <message>
        <source>Граница между графиками</source>
        <translation>Border between the charts</translation>
    </message>
    <message>
        <source>Стрелки вверх и вниз меняют высоту графиков, Page Up и Page Down — быстрее</source>
        <translation>The up and down arrows change the charts&apos; heights; Page Up and Page Down move faster</translation>
    </message>
</context>
<context>
    <name>TfrStart</name>
    <message>
        <source>без датчика</source>
        <translation>no sensor</translation>
    </message>
    <message>
        <source>датчик %1</source>
        <translation>sensor %1</translation>
    </message>
    <message>
        <source>1. Выберите опыт</source>
        <translation>1. Choose an experiment</translation>
    </message>
    <message>
        <source>Подключите датчик к компьютеру и нажмите на карточку опыта. Программа сама найдёт датчик, который нужен опыту.</source>
        <translation>Connect the sensor to the computer and click the experiment&apos;s card. The program finds the sensor the experiment needs by itself.</translation>
    </message>
    <message>
        <source>2. Измеряйте</source>
        <translation>2. Measure</translation>
    </message>
    <message>
        <source>«Пуск» (F5) начинает измерение, «Стоп» (Shift+F5) заканчивает его. «Отметить точку» (Ctrl+M) подписывает точку графика.</source>
        <translation>“Start” (F5) begins measuring, “Stop” (Shift+F5) ends it. “Label a point” (Ctrl+M) puts a label on a point of the chart.</translation>
    </message>
    <message>
        <source>3. Сохраните урок</source>
        <translation>3. Save the lesson</translation>
    </message>
    <message>
        <source>«Файл → Сохранить урок» (Ctrl+S) кладёт в один файл все опыты, подписи, описание и отчёт. Отчёт можно напечатать.</source>
        <translation>“File → Save lesson” (Ctrl+S) puts all the runs, labels, the description and the report into one file. The report can be printed.</translation>
    </message>
    <message>
        <source>Ровелин для начальной школы</source>
        <translation>Rovelin for primary school</translation>
    </message>
    <message>
        <source>Выберите опыт — программа найдёт его датчик, и можно начинать измерение.</source>
        <translation>Choose an experiment — the program finds its sensor, and you can start measuring.</translation>
    </message>
    <message>
        <source>Недавние уроки</source>
        <translation>Recent lessons</translation>
    </message>
    <message>
        <source>Открыть урок...</source>
        <translation>Open a lesson...</translation>
    </message>
    <message>
        <source>Как начать</source>
        <translation>How to start</translation>
    </message>
    <message>
        <source>Руководство пользователя (F1)</source>
        <translation>User guide (F1)</translation>
    </message>
    <message>
        <source>Остальные опыты этой группы — в окне «Выбор эксперимента...».</source>
        <translation>The other experiments of this group are in the window “Choose an experiment...”.</translation>
    </message>
    <message>
        <source>Опыты</source>
        <translation>Experiments</translation>
    </message>
    <message>
        <source>В каталоге нет ни одного опыта. Опыты — это папки в папке data рядом с программой; как их сделать, рассказано в руководстве (F1).</source>
        <translation>The catalogue has no experiments. Experiments are folders in the folder data-en (or data) beside the program; the guide (F1) tells how to make them.</translation>
    </message>
    <message>
        <source>Здесь появятся сохранённые уроки.</source>
        <translation>Saved lessons will appear here.</translation>
    </message>
</context>
<context>
    <name>tDevice</name>
    <message>
        <source><byte value="xd"/>
Время точек на графике может не совпасть с настоящим: проверьте значение Freq в сценарии.</source>
        <translation><byte value="xd"/>
The times of the points on the chart may not match the real ones: check the value Freq in the scenario.</translation>
    </message>
    <message>
        <source>Датчик</source>
        <translation>The sensor</translation>
    </message>
    <message>
        <source>Датчик %1</source>
        <translation>Sensor %1</translation>
    </message>
    <message>
        <source>%1 не ответил на команду периода опроса (%2 мкс).</source>
        <translation>%1 did not answer the sampling period command (%2 µs).</translation>
    </message>
    <message>
        <source>%1 отказался от периода опроса %2 мкс (ответ «%3»): такого периода он не поддерживает.</source>
        <translation>%1 refused the sampling period %2 µs (answer “%3”): it does not support that period.</translation>
    </message>
    <message>
        <source>%1 не подтвердил период опроса %2 мкс (ответ «%3»).</source>
        <translation>%1 did not confirm the sampling period %2 µs (answer “%3”).</translation>
    </message>
    <message>
        <source>%1 отказался от периода опроса %2 мкс (код ответа %3).</source>
        <translation>%1 refused the sampling period %2 µs (answer code %3).</translation>
    </message>
</context>
<context>
    <name>tLibrary</name>
    <message>
        <source>неизвестная ошибка</source>
        <translation>unknown error</translation>
    </message>
    <message>
        <source>Системная ошибка : Невозможно загрузить библиотеку %1.<byte value="xd"/>
Причина: %2</source>
        <translation>System error: Cannot load the library %1.<byte value="xd"/>
Reason: %2</translation>
    </message>
    <message>
        <source>Системная ошибка : Невозможно получить адрес процедуры %1 из библиотеки %2.<byte value="xd"/>
Причина: %3</source>
        <translation>System error: Cannot get the address of the procedure %1 from the library %2.<byte value="xd"/>
Reason: %3</translation>
    </message>
</context>
<context>
    <name>tLogFile</name>
    <message>
        <source>Невозможно открыть файл журнала &apos;%1&apos;.<byte value="xd"/>
Система сообщает: %2</source>
        <translation>Cannot open the log file &apos;%1&apos;.<byte value="xd"/>
The system says: %2</translation>
    </message>
    <message>
        <source>файл используется другой программой</source>
        <translation>the file is in use by another program</translation>
    </message>
</context>
<context>
    <name>tSchoolSettings</name>
    <message>
        <source>%1: %2: неизвестное имя «%3»</source>
        <translation>%1: %2: unknown name “%3”</translation>
    </message>
    <message>
        <source>строка без «Имя = значение»</source>
        <translation>line without “Name = value”</translation>
    </message>
    <message>
        <source>«%1» — не полный путь (начинается с /)</source>
        <translation>“%1” is not a full path (one starting with /)</translation>
    </message>
    <message>
        <source>неизвестное имя «%1»</source>
        <translation>unknown name “%1”</translation>
    </message>
    <message>
        <source>Невозможно создать папку &apos;%1&apos;.</source>
        <translation>Cannot create the folder &apos;%1&apos;.</translation>
    </message>
</context>
<context>
    <name>tSensorSearch</name>
    <message>
        <source>Нет ни одного HID-устройства датчика (%1, %2) среди /dev/hidraw*: датчик не подключён к ПК, или это не датчик программы (настройки HID_VID и HID_PID).</source>
        <translation>No HID sensor device (%1, %2) among /dev/hidraw*: the sensor is not connected to the computer, or it is not one of the program&apos;s sensors (settings HID_VID and HID_PID).</translation>
    </message>
    <message>
        <source>Библиотека D2XX не видит ни одного устройства FTDI: датчик не подключён к ПК, или его занял драйвер ядра ftdi_sio (тогда поставьте UseFTDI=0 и UseCDC=1).</source>
        <translation>The D2XX library sees no FTDI device: the sensor is not connected to the computer, or the kernel driver ftdi_sio holds it (then set UseFTDI=0 and UseCDC=1).</translation>
    </message>
    <message>
        <source>%1 на %2</source>
        <translation>%1 on %2</translation>
    </message>
    <message>
        <source>демонстрационном порту</source>
        <translation>the demo port</translation>
    </message>
    <message>
        <source>устройстве FTDI %1</source>
        <translation>FTDI device %1</translation>
    </message>
    <message>
        <source>Для этого опыта нужен датчик %1.</source>
        <translation>This experiment needs the sensor %1.</translation>
    </message>
    <message>
        <source>Ни одного датчика не найдено.</source>
        <translation>No sensor was found.</translation>
    </message>
    <message>
        <source>Найдены: %1.</source>
        <translation>Found: %1.</translation>
    </message>
    <message>
        <source>в файле rovelin.cfg выключены все способы поиска датчиков (UseFTDI, UseCDC, UseHID).</source>
        <translation>the file rovelin.cfg turns off every way of searching for sensors (UseFTDI, UseCDC, UseHID).</translation>
    </message>
    <message>
        <source>у пользователя нет прав на доступ к датчику. Попросите администратора установить правило udev программы (%1) или добавить пользователя в группу &apos;%2&apos; и войти в систему заново, затем переподключите датчик.</source>
        <translation>the user has no permission to use the sensor. Ask the administrator to install the program&apos;s udev rule (%1) or to add the user to the group &apos;%2&apos; and log in again, then reconnect the sensor.</translation>
    </message>
    <message>
        <source>датчик занят другой программой. Закройте её и нажмите «Подключение».</source>
        <translation>the sensor is in use by another program. Close that program and press “Connect”.</translation>
    </message>
    <message>
        <source>подключите датчик %1 вместо найденного и нажмите «Подключение».</source>
        <translation>connect the sensor %1 instead of the one found and press “Connect”.</translation>
    </message>
    <message>
        <source>датчик не ответил. Отключите его от компьютера, подключите снова, подождите несколько секунд и нажмите «Подключение».</source>
        <translation>the sensor did not answer. Unplug it from the computer, plug it in again, wait a few seconds and press “Connect”.</translation>
    </message>
    <message>
        <source>подключите датчик %1 к компьютеру, подождите несколько секунд и нажмите «Подключение».</source>
        <translation>connect the sensor %1 to the computer, wait a few seconds and press “Connect”.</translation>
    </message>
    <message>
        <source>Проверьте: </source>
        <translation>Check: </translation>
    </message>
    <message>
        <source>Устройство &apos;%1&apos; не удалось опознать как датчик (причина — в строке DevID выше).</source>
        <translation>Device &apos;%1&apos; could not be recognised as a sensor (the reason is in the DevID line above).</translation>
    </message>
</context>
<context>
    <name>tSession</name>
    <message>
        <source>Была предпринята попытка работы с датчиками через интерфейс FTDI, при этом драйверы установлены не были.<byte value="xd"/>
Подключите датчик к ПК, дождитесь установки драйвера и повторите попытку.</source>
        <translation>The program tried to use sensors through the FTDI interface, but the drivers are not installed.<byte value="xd"/>
Connect the sensor to the computer, wait until the driver is installed and try again.</translation>
    </message>
    <message>
        <source>Не найден датчик для проведения эксперимента.</source>
        <translation>The sensor for this experiment was not found.</translation>
    </message>
    <message>
        <source>Внимание! Измерения были остановлены.<byte value="xd"/>
Датчик , был отключен в процессе проведения измерений.</source>
        <translation>Attention! Measuring has stopped.<byte value="xd"/>
The sensor was disconnected while measuring.</translation>
    </message>
</context>
<context>
    <name>tSettings</name>
    <message>
        <source>Невозможно записать файл &apos;%1&apos;.<byte value="xd"/>
Система сообщает: %2</source>
        <translation>Cannot write the file &apos;%1&apos;.<byte value="xd"/>
The system says: %2</translation>
    </message>
    <message>
        <source>Индекс списка вне допустимых границ (%1)</source>
        <translation>List index out of bounds (%1)</translation>
    </message>
</context>
<context>
    <name>tSingleInstance</name>
    <message>
        <source>папка &apos;%1&apos; недоступна: %2</source>
        <translation>the folder &apos;%1&apos; cannot be reached: %2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; — ссылка, а не папка</source>
        <translation>&apos;%1&apos; is a link, not a folder</translation>
    </message>
    <message>
        <source>&apos;%1&apos; — не папка</source>
        <translation>&apos;%1&apos; is not a folder</translation>
    </message>
    <message>
        <source>папка &apos;%1&apos; принадлежит другому пользователю</source>
        <translation>the folder &apos;%1&apos; belongs to another user</translation>
    </message>
    <message>
        <source>папка &apos;%1&apos; открыта другим пользователям (права %2)</source>
        <translation>the folder &apos;%1&apos; is open to other users (permissions %2)</translation>
    </message>
    <message>
        <source>не найдена домашняя папка пользователя</source>
        <translation>the user&apos;s home folder was not found</translation>
    </message>
    <message>
        <source>невозможно создать папку &apos;%1&apos;</source>
        <translation>cannot create the folder &apos;%1&apos;</translation>
    </message>
    <message>
        <source>невозможно создать папку &apos;%1&apos;: %2</source>
        <translation>cannot create the folder &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>ошибка файла блокировки</source>
        <translation>lock file error</translation>
    </message>
</context>
</TS>
