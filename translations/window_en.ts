<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="ru_RU">
<context>
    <name>Chartaccessible</name>
    <message>
        <source>График</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>График: %1</source>
        <translation>Chart: %1</translation>
    </message>
</context>
<context>
    <name>Dialogfolder</name>
    <message>
        <source>Результаты</source>
        <translation>Results</translation>
    </message>
</context>
<context>
    <name>Picture</name>
    <message>
        <source>Невозможно загрузить изображение &apos;%1&apos;.<byte value="xd"/>
Причина: %2</source>
        <translation>Cannot load the picture &apos;%1&apos;.<byte value="xd"/>
Reason: %2</translation>
    </message>
    <message>
        <source>изображение слишком велико (%1 × %2 точек, допускается не более 100 мегапикселей).</source>
        <translation>the picture is too large (%1 × %2 pixels, 100 megapixels at most).</translation>
    </message>
    <message>
        <source>файл пуст.</source>
        <translation>the file is empty.</translation>
    </message>
    <message>
        <source>файл JPG повреждён (%1).</source>
        <translation>the JPG file is damaged (%1).</translation>
    </message>
    <message>
        <source>недостаточно памяти.</source>
        <translation>not enough memory.</translation>
    </message>
    <message>
        <source>Не удалось сжать рисунок в JPEG (%1).</source>
        <translation>Could not compress the picture to JPEG (%1).</translation>
    </message>
    <message>
        <source>файл не является изображением BMP.</source>
        <translation>the file is not a BMP picture.</translation>
    </message>
    <message>
        <source>файл BMP повреждён (%1).</source>
        <translation>the BMP file is damaged (%1).</translation>
    </message>
    <message>
        <source>неизвестный формат изображения «.%1» (поддерживаются JPG и BMP).</source>
        <translation>unknown picture format “.%1” (JPG and BMP can be used).</translation>
    </message>
    <message>
        <source>файл слишком велик (%1 МБ, допускается не более %2 МБ).</source>
        <translation>the file is too large (%1 MB, %2 MB at most).</translation>
    </message>
</context>
<context>
    <name>Program</name>
    <message>
        <source>Использование: rovelin [ключ...] [урок.rovelin]
%1 — цифровая лаборатория с датчиками USB для уроков.

Ключ — это / или - и слово, в любом регистре:
  /LOG           вести журнал rovelin.log (рядом с программой; у установленной
                 программы — в ~/.local/state/rovelin/)
  /LOG_MEASURE   вместе с /LOG: записывать в журнал каждый цикл измерения
  /DEMO          демонстрационный режим: датчики-имитаторы вместо настоящих
  урок.rovelin   открыть файл урока (в уже запущенной программе, если она есть)
  --help         показать эту справку и выйти
  --version      показать версию и выйти

Подробнее: man rovelin
</source>
        <translation>Usage: rovelin [switch...] [lesson.rovelin]
%1 — a digital science lab with USB sensors for lessons.

A switch is / or - and a word, in any letter case:
  /LOG           keep the log rovelin.log (beside the program; for an installed
                 program in ~/.local/state/rovelin/)
  /LOG_MEASURE   with /LOG: write every measuring cycle to the log
  /DEMO          demo mode: simulated sensors instead of real ones
  lesson.rovelin open a lesson file (in the program already running, if there is one)
  --help         show this help and exit
  --version      show the version and exit

More: man rovelin
</translation>
    </message>
    <message>
        <source>rovelin: нет экрана для окна программы (не заданы DISPLAY и WAYLAND_DISPLAY).
Запустите программу в сеансе рабочего стола или на виртуальном экране:
  xvfb-run -a -s &quot;-screen 0 1280x800x24&quot; rovelin /DEMO
</source>
        <translation>rovelin: there is no screen for the program&apos;s window (neither DISPLAY nor WAYLAND_DISPLAY is set).
Start the program in a desktop session or on a virtual screen:
  xvfb-run -a -s &quot;-screen 0 1280x800x24&quot; rovelin /DEMO
</translation>
    </message>
</context>
<context>
    <name>Rtfreader</name>
    <message>
        <source>в нём больше %1 знаков (открываются документы до %1 знаков, это около %2 страниц).</source>
        <translation>it has more than %1 characters (documents of up to %1 characters open, about %2 pages).</translation>
    </message>
    <message>
        <source>в нём больше %1 абзацев (открываются документы до %1 абзацев).</source>
        <translation>it has more than %1 paragraphs (documents of up to %1 paragraphs open).</translation>
    </message>
    <message>
        <source>Файл не является документом RTF.</source>
        <translation>The file is not an RTF document.</translation>
    </message>
</context>
<context>
    <name>Runsdialog</name>
    <message>
        <source>Опыт %1</source>
        <translation>Run %1</translation>
    </message>
    <message>
        <source>, точек: %1</source>
        <translation>, points: %1</translation>
    </message>
    <message>
        <source>Опыты урока</source>
        <translation>Runs of the lesson</translation>
    </message>
    <message>
        <source>(не показывать)</source>
        <translation>(do not show)</translation>
    </message>
    <message>
        <source>Первый график (красный):</source>
        <translation>First chart (red):</translation>
    </message>
    <message>
        <source>Второй график (синий):</source>
        <translation>Second chart (blue):</translation>
    </message>
</context>
<context>
    <name>TChart</name>
    <message>
        <source>Не удалось записать рисунок в файл &quot;%1&quot;.</source>
        <translation>Could not write the picture to the file &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Не удалось начать печать.</source>
        <translation>Could not start printing.</translation>
    </message>
</context>
<context>
    <name>TMainStatusBar</name>
    <message>
        <source>Нет данных от датчика %1 с</source>
        <translation>No data from the sensor for %1 s</translation>
    </message>
    <message>
        <source> Датчик %1 (%2) </source>
        <translation> Sensor %1 (%2) </translation>
    </message>
</context>
<context>
    <name>TRichView</name>
    <message>
        <source>Открывается документ...</source>
        <translation>Opening the document...</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Документ &quot;%1&quot; слишком велик: %2</source>
        <translation>The document &quot;%1&quot; is too large: %2</translation>
    </message>
    <message>
        <source>Не удалось начать печать.</source>
        <translation>Could not start printing.</translation>
    </message>
    <message>
        <source>Рисунок не содержит изображения.</source>
        <translation>The picture holds no image.</translation>
    </message>
</context>
<context>
    <name>TfmFit</name>
    <message>
        <source>Подобрать формулу</source>
        <translation>Fit a formula</translation>
    </message>
    <message>
        <source>&amp;Формула (время — t, неизвестные — любые буквы):</source>
        <translation>&amp;Formula (time is t, unknowns are any letters):</translation>
    </message>
    <message>
        <source>например, a + b*t^2</source>
        <translation>for example, a + b*t^2</translation>
    </message>
    <message>
        <source>Подобрать</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Формулы</source>
        <translation>Formulas</translation>
    </message>
</context>
<context>
    <name>TfmMain</name>
    <message>
        <source>Урок сохранён</source>
        <translation>Lesson saved</translation>
    </message>
    <message>
        <source>&amp;Файл</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Вид</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Эксперимент</source>
        <translation>&amp;Experiment</translation>
    </message>
    <message>
        <source>На этом компьютере не установлен ни один принтер, поэтому напечатать нельзя.<byte value="xd"/>
Сохраните страницу в файл PDF (меню «Файл» → «Сохранить в PDF...») и напечатайте его на компьютере с принтером.</source>
        <translation>No printer is installed on this computer, so nothing can be printed here.<byte value="xd"/>
Save the page as a PDF file (menu “File” → “Save as PDF...”) and print it on a computer with a printer.</translation>
    </message>
    <message>
        <source>%1-файлы (*.%2)</source>
        <translation>%1 files (*.%2)</translation>
    </message>
    <message>
        <source>Все файлы (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>Все изображения (*.jpg *.jpeg *.jpe *.bmp)</source>
        <translation>All pictures (*.jpg *.jpeg *.jpe *.bmp)</translation>
    </message>
    <message>
        <source>JPG-файлы (*.jpg)</source>
        <translation>JPG files (*.jpg)</translation>
    </message>
    <message>
        <source>BMP-файлы (*.bmp)</source>
        <translation>BMP files (*.bmp)</translation>
    </message>
    <message>
        <source>Все файлы (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>Параметры печати</source>
        <translation>Print setup</translation>
    </message>
    <message>
        <source>Предварительный просмотр</source>
        <translation>Print preview</translation>
    </message>
    <message>
        <source>Уроки (*.%1)</source>
        <translation>Lessons (*.%1)</translation>
    </message>
    <message>
        <source>Документ не открыт (открытие отменено). Он сохранится в уроке без изменений.</source>
        <translation>The document was not opened (opening was cancelled). It stays in the lesson unchanged.</translation>
    </message>
    <message>
        <source>ещё не сохранялся в файл</source>
        <translation>not saved to a file yet</translation>
    </message>
    <message>
        <source>Восстановить несохранённую работу?<byte value="xd"/>
<byte value="xd"/>
Опыт: %1<byte value="xd"/>
Урок: %2<byte value="xd"/>
Сохранена: %3</source>
        <translation>Bring back the unsaved work?<byte value="xd"/>
<byte value="xd"/>
Experiment: %1<byte value="xd"/>
Lesson: %2<byte value="xd"/>
Kept at: %3</translation>
    </message>
    <message>
        <source>Сохранить как...</source>
        <translation>Save as...</translation>
    </message>
    <message>
        <source>Открыть урок</source>
        <translation>Open lesson</translation>
    </message>
    <message>
        <source>Сохранить урок</source>
        <translation>Save lesson</translation>
    </message>
    <message>
        <source>Урок не сохранён. Сохранить изменения?</source>
        <translation>The lesson is not saved. Save the changes?</translation>
    </message>
</context>
<context>
    <name>tAnalysisActions</name>
    <message>
        <source>Строка %1 («%2»): нужны два числа — время и значение.</source>
        <translation>Line %1 (“%2”): two numbers are needed — the time and the value.</translation>
    </message>
    <message>
        <source>&amp;Убрать</source>
        <translation>Re&amp;move</translation>
    </message>
    <message>
        <source>Прогноз</source>
        <translation>Prediction</translation>
    </message>
    <message>
        <source>Точки прогноза, по одной в строке: время и значение (например, «60 45,5»):</source>
        <translation>Prediction points, one per line: the time and the value (for example, “60 45.5”):</translation>
    </message>
    <message>
        <source>, от %1 до %2</source>
        <translation>, from %1 to %2</translation>
    </message>
    <message>
        <source> (по маркерам)</source>
        <translation> (between the markers)</translation>
    </message>
    <message>
        <source> (весь опыт)</source>
        <translation> (the whole run)</translation>
    </message>
    <message>
        <source>Наклон не найден: %1</source>
        <translation>No slope found: %1</translation>
    </message>
    <message>
        <source>Площадь не найдена: %1</source>
        <translation>No area found: %1</translation>
    </message>
    <message>
        <source>Подбираю формулу...</source>
        <translation>Fitting a formula...</translation>
    </message>
    <message>
        <source>Формулу «%1», опыт %2</source>
        <translation>Formula “%1”, run %2</translation>
    </message>
    <message>
        <source>Наклон при t = %1, опыт %2</source>
        <translation>Slope at t = %1, run %2</translation>
    </message>
    <message>
        <source>Площадь, опыт %1</source>
        <translation>Area, run %1</translation>
    </message>
    <message>
        <source>(ничего нет)</source>
        <translation>(nothing here)</translation>
    </message>
    <message>
        <source>Убрать &amp;всё</source>
        <translation>Remove &amp;all</translation>
    </message>
</context>
<context>
    <name>tHandInAction</name>
    <message>
        <source>Фамилия и имя ученика:</source>
        <translation>The pupil&apos;s surname and first name:</translation>
    </message>
    <message>
        <source>Работа сдана</source>
        <translation>Work handed in</translation>
    </message>
    <message>
        <source>Работа сдана.<byte value="xd"/>
Ученик: %1<byte value="xd"/>
Папка: %2</source>
        <translation>Work handed in.<byte value="xd"/>
Pupil: %1<byte value="xd"/>
Folder: %2</translation>
    </message>
</context>
<context>
    <name>tHelp</name>
    <message>
        <source>%1, версия %2</source>
        <translation>%1, version %2</translation>
    </message>
    <message>
        <source>Лицензия: GNU GPL версии 3 или более поздней; программа поставляется без гарантий.</source>
        <translation>Licence: GNU GPL version 3 or later; the program comes with no warranty.</translation>
    </message>
    <message>
        <source>Папка программы (rovelin.cfg и сценарии data/): %1</source>
        <translation>Program folder (rovelin.cfg and the scenarios in data/): %1</translation>
    </message>
    <message>
        <source>Настройки школы: %1</source>
        <translation>School settings: %1</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>Свои настройки пользователя: %1</source>
        <translation>The user&apos;s own settings: %1</translation>
    </message>
    <message>
        <source>Журнал: %1</source>
        <translation>Log: %1</translation>
    </message>
    <message>
        <source> (не ведётся: программа запущена без ключа LOG)</source>
        <translation> (not kept: the program was started without the LOG switch)</translation>
    </message>
    <message>
        <source>Автосохранение урока: %1</source>
        <translation>Lesson autosave: %1</translation>
    </message>
    <message>
        <source>Датчик: %1</source>
        <translation>Sensor: %1</translation>
    </message>
    <message>
        <source>не подключён</source>
        <translation>not connected</translation>
    </message>
    <message>
        <source>Сведения о программе</source>
        <translation>About the program</translation>
    </message>
    <message>
        <source>Копировать</source>
        <translation>Copy</translation>
    </message>
</context>
<context>
    <name>tMainActions</name>
    <message>
        <source>&amp;Открыть урок...</source>
        <translation>&amp;Open lesson...</translation>
    </message>
    <message>
        <source>Открыть сохранённый урок: графики, метки, описание и отчёт</source>
        <translation>Open a saved lesson: charts, labels, description and report</translation>
    </message>
    <message>
        <source>&amp;Сохранить урок</source>
        <translation>&amp;Save lesson</translation>
    </message>
    <message>
        <source>Сохранить урок: все опыты, метки, описание и отчёт</source>
        <translation>Save the lesson: all runs, labels, description and report</translation>
    </message>
    <message>
        <source>Сохранить урок &amp;как...</source>
        <translation>Save lesson &amp;as...</translation>
    </message>
    <message>
        <source>Сохранить урок в другой файл</source>
        <translation>Save the lesson to another file</translation>
    </message>
    <message>
        <source>&amp;Опыты урока...</source>
        <translation>Lesson &amp;runs...</translation>
    </message>
    <message>
        <source>Выбрать, какие опыты показывают два графика</source>
        <translation>Choose which runs the two charts show</translation>
    </message>
    <message>
        <source>&amp;Выход...</source>
        <translation>E&amp;xit...</translation>
    </message>
    <message>
        <source>Выйти из программы</source>
        <translation>Exit the program</translation>
    </message>
    <message>
        <source>&amp;О программе...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>Вывести информацию о программе, разработчике и авторских правах</source>
        <translation>Show information about the program, its developer and its copyright</translation>
    </message>
    <message>
        <source>&amp;Панель инструментов</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>Показать/спрятать панель инструментов</source>
        <translation>Show or hide the toolbar</translation>
    </message>
    <message>
        <source>&amp;Строка состояния</source>
        <translation>&amp;Status bar</translation>
    </message>
    <message>
        <source>Позазать/спрятать строку состояния</source>
        <translation>Show or hide the status bar</translation>
    </message>
    <message>
        <source>&amp;Подключение</source>
        <translation>Co&amp;nnect</translation>
    </message>
    <message>
        <source>Найти датчики и подключиться к ним</source>
        <translation>Find the sensors and connect to them</translation>
    </message>
    <message>
        <source>&amp;Выбор эксперимента...</source>
        <translation>&amp;Choose an experiment...</translation>
    </message>
    <message>
        <source>Выбрать сценарий для проведения эксперимента</source>
        <translation>Choose a scenario for the experiment</translation>
    </message>
    <message>
        <source>&amp;Пуск</source>
        <translation>&amp;Start</translation>
    </message>
    <message>
        <source>Запустить измерения</source>
        <translation>Start measuring</translation>
    </message>
    <message>
        <source>&amp;Стоп</source>
        <translation>S&amp;top</translation>
    </message>
    <message>
        <source>Остановить измерения</source>
        <translation>Stop measuring</translation>
    </message>
    <message>
        <source>&amp;Отметить точку....</source>
        <translation>&amp;Label a point...</translation>
    </message>
    <message>
        <source>Отметить точку на графике</source>
        <translation>Label a point on the chart</translation>
    </message>
    <message>
        <source>&amp;Экспорт...</source>
        <translation>&amp;Export...</translation>
    </message>
    <message>
        <source>Экспортировать данные во внешний файл</source>
        <translation>Export the data to a file</translation>
    </message>
    <message>
        <source>&amp;Печать...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>Напечатать содержимое текущей вкладки</source>
        <translation>Print what the current tab shows</translation>
    </message>
    <message>
        <source>Параметры печати...</source>
        <translation>Print setup...</translation>
    </message>
    <message>
        <source>Изменить настройки печати</source>
        <translation>Change the print settings</translation>
    </message>
    <message>
        <source>Параметры страницы...</source>
        <translation>Page setup...</translation>
    </message>
    <message>
        <source>Изменить настройки страницы</source>
        <translation>Change the page settings</translation>
    </message>
    <message>
        <source>&amp;Добавить изображение...</source>
        <translation>Add an &amp;image...</translation>
    </message>
    <message>
        <source>&amp;Добавить изображение из файла</source>
        <translation>Add an &amp;image from a file</translation>
    </message>
    <message>
        <source>Предварительный просмотр...</source>
        <translation>Print preview...</translation>
    </message>
    <message>
        <source>Показать, как будет напечатана текущая вкладка</source>
        <translation>Show how the current tab will be printed</translation>
    </message>
    <message>
        <source>Сохранить в PDF...</source>
        <translation>Save as PDF...</translation>
    </message>
    <message>
        <source>Сохранить текущую вкладку в файл PDF, как при печати</source>
        <translation>Save the current tab as a PDF file, as it would be printed</translation>
    </message>
    <message>
        <source>Показать &amp;все</source>
        <translation>Show &amp;all</translation>
    </message>
    <message>
        <source>Показать на графике все точки опытов</source>
        <translation>Show all points of the runs on the chart</translation>
    </message>
    <message>
        <source>Режим &amp;проектора</source>
        <translation>&amp;Projector mode</translation>
    </message>
    <message>
        <source>Крупные надписи и толстые линии для показа на экране класса</source>
        <translation>Large text and thick lines for the classroom screen</translation>
    </message>
    <message>
        <source>Вставить &amp;график в отчет</source>
        <translation>Insert the c&amp;hart into the report</translation>
    </message>
    <message>
        <source>Вставить график с показаниями маркеров в отчет</source>
        <translation>Insert the chart with the marker read-outs into the report</translation>
    </message>
    <message>
        <source>Подобрать &amp;формулу...</source>
        <translation>Fit a &amp;formula...</translation>
    </message>
    <message>
        <source>Подобрать формулу к точкам между маркерами (без маркеров — ко всему опыту)</source>
        <translation>Fit a formula to the points between the markers (without markers, to the whole run)</translation>
    </message>
    <message>
        <source>&amp;Наклон</source>
        <translation>Sl&amp;ope</translation>
    </message>
    <message>
        <source>Провести касательную в первом маркере и узнать, как быстро меняется величина</source>
        <translation>Draw the tangent at the first marker and see how fast the value changes</translation>
    </message>
    <message>
        <source>П&amp;лощадь</source>
        <translation>&amp;Area</translation>
    </message>
    <message>
        <source>Закрасить и сосчитать площадь под кривой между маркерами</source>
        <translation>Shade and work out the area under the curve between the markers</translation>
    </message>
    <message>
        <source>Нарисовать п&amp;рогноз</source>
        <translation>Draw a &amp;prediction</translation>
    </message>
    <message>
        <source>Нарисовать мышью, какой получится кривая, ещё до опыта</source>
        <translation>Draw with the mouse what the curve will look like, before the run</translation>
    </message>
    <message>
        <source>Ввести прогноз...</source>
        <translation>Type a prediction...</translation>
    </message>
    <message>
        <source>Ввести точки ожидаемой кривой числами</source>
        <translation>Type in the points of the expected curve as numbers</translation>
    </message>
    <message>
        <source>&amp;Руководство пользователя</source>
        <translation>&amp;User guide</translation>
    </message>
    <message>
        <source>Открыть руководство на странице того, что сейчас на экране</source>
        <translation>Open the guide at the page about what is on the screen now</translation>
    </message>
    <message>
        <source>&amp;Сведения о программе...</source>
        <translation>About the &amp;program...</translation>
    </message>
    <message>
        <source>Версия, лицензия, где лежат журнал, настройки и автосохранение, найденный датчик</source>
        <translation>Version, licence, where the log, the settings and the autosave are, the sensor found</translation>
    </message>
    <message>
        <source>Сдать &amp;работу...</source>
        <translation>Hand in &amp;work...</translation>
    </message>
    <message>
        <source>Сдать урок, отчёт и измерения в папку класса</source>
        <translation>Hand in the lesson, the report and the measurements to the class folder</translation>
    </message>
    <message>
        <source>График частоты в&amp;ыше</source>
        <translation>Heart-rate chart &amp;taller</translation>
    </message>
    <message>
        <source>Поднять границу между графиками: график частоты станет выше</source>
        <translation>Move the border between the charts up: the heart-rate chart gets taller</translation>
    </message>
    <message>
        <source>График частоты н&amp;иже</source>
        <translation>Heart-rate chart s&amp;horter</translation>
    </message>
    <message>
        <source>Опустить границу между графиками: график частоты станет ниже</source>
        <translation>Move the border between the charts down: the heart-rate chart gets shorter</translation>
    </message>
</context>
<context>
    <name>tPaper</name>
    <message>
        <source>%1 — график</source>
        <translation>%1 — chart</translation>
    </message>
    <message>
        <source>%1 — описание</source>
        <translation>%1 — description</translation>
    </message>
    <message>
        <source>%1 — отчёт</source>
        <translation>%1 — report</translation>
    </message>
    <message>
        <source>Результаты</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>Не удалось создать файл &quot;%1&quot;: %2</source>
        <translation>Could not create the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; уже существует.<byte value="xd"/>
Заменить его?</source>
        <translation>The file &quot;%1&quot; already exists.<byte value="xd"/>
Replace it?</translation>
    </message>
    <message>
        <source>Сохранено в PDF</source>
        <translation>Saved as PDF</translation>
    </message>
    <message>
        <source>Экспортировано</source>
        <translation>Exported</translation>
    </message>
</context>
<context>
    <name>tResultReading</name>
    <message>
        <source>Т&amp;аблица</source>
        <translation>T&amp;able</translation>
    </message>
    <message>
        <source>Опыт %1</source>
        <translation>Run %1</translation>
    </message>
</context>
<context>
    <name>tSearchProgress</name>
    <message>
        <source>Подключение</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Поиск датчика %1...</source>
        <translation>Looking for the sensor %1...</translation>
    </message>
    <message>
        <source>Прошло %1 с</source>
        <translation>%1 s so far</translation>
    </message>
</context>
<context>
    <name>tWindowAccessibility</name>
    <message>
        <source>Панель инструментов</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>Выход из программы</source>
        <translation>Exit the program</translation>
    </message>
    <message>
        <source>Страницы опыта</source>
        <translation>Experiment pages</translation>
    </message>
    <message>
        <source>Описание</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Отчет</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>Таблица</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>Панель отчета</source>
        <translation>Report toolbar</translation>
    </message>
    <message>
        <source>Измерений нет</source>
        <translation>No measurements</translation>
    </message>
    <message>
        <source>Маркеры: %1</source>
        <translation>Markers: %1</translation>
    </message>
</context>
</TS>
