<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="ru_RU">
<context>
    <name>Fileplace</name>
    <message>
        <source>на диске нет места</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>превышена квота на диске</source>
        <translation>the disk quota is used up</translation>
    </message>
    <message>
        <source>нет прав на запись в файл или папку</source>
        <translation>no permission to write to the file or folder</translation>
    </message>
    <message>
        <source>диск доступен только для чтения</source>
        <translation>the disk is read-only</translation>
    </message>
    <message>
        <source>файл или папка не найдены</source>
        <translation>the file or folder was not found</translation>
    </message>
    <message>
        <source>ошибка ввода-вывода (диск или сеть)</source>
        <translation>input/output error (disk or network)</translation>
    </message>
    <message>
        <source>файл слишком большой для этого диска</source>
        <translation>the file is too big for this disk</translation>
    </message>
    <message>
        <source>%1 на компьютере %2</source>
        <translation>%1 on computer %2</translation>
    </message>
</context>
<context>
    <name>Fit</name>
    <message>
        <source>Пропорциональность</source>
        <translation>Proportional</translation>
    </message>
    <message>
        <source>Прямая</source>
        <translation>Straight line</translation>
    </message>
    <message>
        <source>Парабола</source>
        <translation>Parabola</translation>
    </message>
    <message>
        <source>Экспонента</source>
        <translation>Exponential</translation>
    </message>
    <message>
        <source>Приближение к пределу</source>
        <translation>Approach to a limit</translation>
    </message>
    <message>
        <source>Степень</source>
        <translation>Power</translation>
    </message>
    <message>
        <source>Синусоида</source>
        <translation>Sine wave</translation>
    </message>
    <message>
        <source>Своя формула</source>
        <translation>Your own formula</translation>
    </message>
    <message>
        <source>нужно хотя бы %1 точек, а на участке только %2</source>
        <extracomment>At least three points are always asked for: the English is plural in every form.</extracomment>
        <translation>at least %1 points are needed, but the range has only %2</translation>
    </message>
    <message>
        <source>нужно хотя бы %1 точка, а на участке только %2</source>
        <translation>at least %1 points are needed, but the range has only %2</translation>
    </message>
    <message>
        <source>нужно хотя бы %1 точки, а на участке только %2</source>
        <translation>at least %1 points are needed, but the range has only %2</translation>
    </message>
    <message>
        <source>«%1»</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>формула не введена</source>
        <translation>no formula has been typed</translation>
    </message>
    <message>
        <source>формула длиннее %1 знаков</source>
        <translation>the formula is longer than %1 characters</translation>
    </message>
    <message>
        <source>в формуле непонятное имя %1</source>
        <translation>the formula has an unknown name %1</translation>
    </message>
    <message>
        <source>в формуле больше %1 неизвестных</source>
        <translation>the formula has more than %1 unknowns</translation>
    </message>
    <message>
        <source>формула обрывается: в конце не хватает числа или скобки</source>
        <translation>the formula stops short: a number or a bracket is missing at the end</translation>
    </message>
    <message>
        <source>в формуле не хватает закрывающей скобки</source>
        <translation>a closing bracket is missing in the formula</translation>
    </message>
    <message>
        <source>в формуле лишняя скобка %1</source>
        <translation>the formula has an extra bracket %1</translation>
    </message>
    <message>
        <source>в формуле непонятный знак %1</source>
        <translation>the formula has an unknown sign %1</translation>
    </message>
    <message>
        <source>в формуле лишний знак %1</source>
        <translation>the formula has an extra sign %1</translation>
    </message>
    <message>
        <source>перед %1 не хватает знака действия (например, *)</source>
        <translation>a sign for the operation (for example, *) is missing before %1</translation>
    </message>
    <message>
        <source>у функции %1 не то число чисел в скобках</source>
        <translation>the function %1 has the wrong number of numbers in its brackets</translation>
    </message>
    <message>
        <source>в формуле ошибка</source>
        <translation>the formula has a mistake</translation>
    </message>
    <message>
        <source>в формуле ошибка около %1</source>
        <translation>the formula has a mistake near %1</translation>
    </message>
    <message>
        <source>слишком мало точек</source>
        <translation>too few points</translation>
    </message>
    <message>
        <source>формулу нельзя вычислить на этих точках (например, деление на ноль)</source>
        <translation>the formula cannot be worked out at these points (for example, division by zero)</translation>
    </message>
    <message>
        <source>подбор не сошёлся: формула не подходит к этим точкам</source>
        <translation>the fit did not settle: the formula does not suit these points</translation>
    </message>
    <message>
        <source>формула не подходит к этим точкам: получаются бесконечные значения</source>
        <translation>the formula does not suit these points: the values become infinite</translation>
    </message>
    <message>
        <source>по этим точкам неизвестные нельзя найти однозначно</source>
        <translation>the unknowns cannot be found for certain from these points</translation>
    </message>
    <message>
        <source>подбор прерван</source>
        <translation>the fit was stopped</translation>
    </message>
    <message>
        <source>в формуле нет неизвестных — подбирать нечего</source>
        <translation>the formula has no unknowns — there is nothing to fit</translation>
    </message>
    <message>
        <source>на участке нет ни одного измеренного значения</source>
        <translation>the range has no measured values</translation>
    </message>
    <message>
        <source>все значения одинаковы</source>
        <translation>all the values are the same</translation>
    </message>
    <message>
        <source>все точки сняты в один и тот же момент</source>
        <translation>all the points were taken at the same moment</translation>
    </message>
    <message>
        <source>для степенной формулы время должно быть не меньше нуля</source>
        <translation>for the power formula the time must not be below zero</translation>
    </message>
    <message>
        <source>кривая на участке почти прямая: к какому значению она идёт, не видно</source>
        <translation>the curve is almost straight in this range: you cannot see which value it is heading for</translation>
    </message>
</context>
<context>
    <name>Fitwords</name>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>с</source>
        <translation>s</translation>
    </message>
    <message>
        <source>растёт</source>
        <translation>rises</translation>
    </message>
    <message>
        <source>убывает</source>
        <translation>falls</translation>
    </message>
    <message>
        <source>%1 на %2 каждую секунду</source>
        <translation>%1 by %2 every second</translation>
    </message>
    <message>
        <source>%1 на %2</source>
        <translation>%1 by %2</translation>
    </message>
    <message>
        <source>%1 %2 — пропорционально времени</source>
        <translation>%1 %2 — in proportion to time</translation>
    </message>
    <message>
        <source>%1 %2, начиная с %3</source>
        <translation>%1 %2, starting from %3</translation>
    </message>
    <message>
        <source>%1 меняется по параболе: %2 значение %3 при t = %4</source>
        <translation>%1 changes along a parabola: %2 value %3 at t = %4</translation>
    </message>
    <message>
        <source>наибольшее</source>
        <translation>highest</translation>
    </message>
    <message>
        <source>наименьшее</source>
        <translation>lowest</translation>
    </message>
    <message>
        <source>%1 %2 каждые %3</source>
        <translation>%1 %2 every %3</translation>
    </message>
    <message>
        <source>растёт вдвое</source>
        <translation>doubles</translation>
    </message>
    <message>
        <source>убывает вдвое</source>
        <translation>halves</translation>
    </message>
    <message>
        <source>%1 приближается к %2; за %3 остаётся треть разницы</source>
        <translation>%1 approaches %2; after %3 a third of the difference is left</translation>
    </message>
    <message>
        <source>%1 удаляется от %2; за %3 разница растёт втрое</source>
        <translation>%1 moves away from %2; after %3 the difference is three times as big</translation>
    </message>
    <message>
        <source>%1 %2 как t в степени %3</source>
        <translation>%1 %2 as t to the power of %3</translation>
    </message>
    <message>
        <source>%1 колеблется около %2 с амплитудой %3 и периодом %4</source>
        <translation>%1 swings around %2 with an amplitude of %3 and a period of %4</translation>
    </message>
    <message>
        <source>Формула y = %1 подобрана: %2</source>
        <translation>Formula y = %1 fitted: %2</translation>
    </message>
    <message>
        <source>%1 почти не меняется</source>
        <translation>%1 hardly changes</translation>
    </message>
    <message>
        <source>рад</source>
        <translation>rad</translation>
    </message>
    <message>
        <source>рад/</source>
        <translation>rad/</translation>
    </message>
    <message>
        <source>Не удалось подобрать: %1</source>
        <translation>Could not fit: %1</translation>
    </message>
    <message>
        <source>t отсчитывается от %1</source>
        <translation>t counts from %1</translation>
    </message>
    <message>
        <source>Точек: %1</source>
        <translation>Points: %1</translation>
    </message>
    <message>
        <source>Среднее отклонение от кривой (RMSE): %1</source>
        <translation>Average distance from the curve (RMSE): %1</translation>
    </message>
</context>
<context>
    <name>Handin</name>
    <message>
        <source>Папка для сдачи работ «%1» недоступна: %2</source>
        <translation>The hand-in folder “%1” cannot be used: %2</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл &quot;%1&quot;: %2</source>
        <translation>Could not read the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Не указаны фамилия и имя ученика.</source>
        <translation>The pupil&apos;s surname and first name are missing.</translation>
    </message>
    <message>
        <source>Папка для сдачи работ не задана. Её указывает администратор школы (ExchangeFolder в файле /etc/xdg/rovelin/school.conf).</source>
        <translation>No hand-in folder has been set. The school&apos;s administrator sets it (ExchangeFolder in the file /etc/xdg/rovelin/school.conf).</translation>
    </message>
    <message>
        <source>такой папки нет (сетевая папка не подключена?)</source>
        <translation>there is no such folder (is the network folder not connected?)</translation>
    </message>
    <message>
        <source>это не папка</source>
        <translation>it is not a folder</translation>
    </message>
    <message>
        <source>невозможно создать в ней папку (%1)</source>
        <translation>a folder cannot be made in it (%1)</translation>
    </message>
    <message>
        <source>в ней уже слишком много работ «%1»</source>
        <translation>it already holds too many pieces of work “%1”</translation>
    </message>
    <message>
        <source>файл &quot;%1&quot; не появился</source>
        <translation>the file &quot;%1&quot; did not appear</translation>
    </message>
    <message>
        <source>Работа не сдана.
%1</source>
        <translation>The work was not handed in.
%1</translation>
    </message>
</context>
<context>
    <name>Lessonfile</name>
    <message>
        <source>«%1»</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Сохраните урок под другим именем («Сохранить как...»).</source>
        <translation><byte value="xd"/>
Save the lesson under another name (“Save As...”).</translation>
    </message>
    <message>
        <source>Файл %1 не является файлом урока.</source>
        <translation>The file %1 is not a lesson file.</translation>
    </message>
    <message>
        <source>это не файл урока</source>
        <translation>not a lesson file</translation>
    </message>
    <message>
        <source>Файл урока %1 сохранён более новой версией программы.<byte value="xd"/>
Чтобы открыть его, обновите программу.</source>
        <translation>The lesson file %1 was saved by a newer version of the program.<byte value="xd"/>
To open it, update the program.</translation>
    </message>
    <message>
        <source>файл сохранён более новой версией программы</source>
        <translation>the file was saved by a newer version of the program</translation>
    </message>
    <message>
        <source>Файл урока %1 повреждён или записан не полностью и не может быть открыт.</source>
        <translation>The lesson file %1 is damaged or was not written completely and cannot be opened.</translation>
    </message>
    <message>
        <source>файл повреждён</source>
        <translation>the file is damaged</translation>
    </message>
    <message>
        <source>Файл урока %1 занят другой программой.<byte value="xd"/>
Закройте её и повторите попытку.</source>
        <translation>The lesson file %1 is in use by another program.<byte value="xd"/>
Close that program and try again.</translation>
    </message>
    <message>
        <source>файл занят другой программой</source>
        <translation>the file is in use by another program</translation>
    </message>
    <message>
        <source>Невозможно открыть файл урока %1.</source>
        <translation>Cannot open the lesson file %1.</translation>
    </message>
    <message>
        <source>Невозможно сохранить урок в файл %1.</source>
        <translation>Cannot save the lesson to the file %1.</translation>
    </message>
    <message>
        <source>Файл урока %1 доступен только для чтения, урок в него не записан.</source>
        <translation>The lesson file %1 is read-only; the lesson was not written to it.</translation>
    </message>
    <message>
        <source>файл доступен только для чтения</source>
        <translation>the file is read-only</translation>
    </message>
    <message>
        <source>Файл урока %1 принадлежит другому пользователю, урок в него не записан.</source>
        <translation>The lesson file %1 belongs to another user; the lesson was not written to it.</translation>
    </message>
    <message>
        <source>файл принадлежит другому пользователю</source>
        <translation>the file belongs to another user</translation>
    </message>
    <message>
        <source>На месте файла урока %1 теперь другой файл (его заменили после того, как урок был открыт или сохранён), урок в него не записан.</source>
        <translation>Another file now stands in place of the lesson file %1 (it was replaced after the lesson was opened or saved); the lesson was not written to it.</translation>
    </message>
    <message>
        <source>файл заменён другим</source>
        <translation>the file was replaced by another</translation>
    </message>
    <message>
        <source>Файл урока %1 изменён другой программой после того, как урок был открыт или сохранён, урок в него не записан.</source>
        <translation>The lesson file %1 was changed by another program after the lesson was opened or saved; the lesson was not written to it.</translation>
    </message>
    <message>
        <source>файл изменён другой программой</source>
        <translation>the file was changed by another program</translation>
    </message>
    <message>
        <source>Файл урока %1 сейчас записывает другая копия программы (%2).<byte value="xd"/>
Повторите попытку через несколько секунд.</source>
        <translation>Another copy of the program (%2) is writing the lesson file %1 right now.<byte value="xd"/>
Try again in a few seconds.</translation>
    </message>
    <message>
        <source>файл записывает другая копия программы</source>
        <translation>another copy of the program is writing the file</translation>
    </message>
    <message>
        <source>Файл урока %1 записан прежней версией программы, и его не удалось перевести в новый вид.</source>
        <translation>The lesson file %1 was written by an earlier version of the program and could not be brought up to date.</translation>
    </message>
    <message>
        <source>файл не переведён в новый вид</source>
        <translation>the file could not be brought up to date</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Система сообщает: </source>
        <translation><byte value="xd"/>
The system says: </translation>
    </message>
    <message>
        <source>файл или папка доступны только для чтения</source>
        <translation>the file or folder is read-only</translation>
    </message>
    <message>
        <source>не хватает памяти</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>файл не открывается</source>
        <translation>the file does not open</translation>
    </message>
    <message>
        <source>ошибка SQLite %1</source>
        <translation>SQLite error %1</translation>
    </message>
    <message>
        <source>нет перехода с версии %1 (программа собрана с ошибкой)</source>
        <translation>no way up from version %1 (the program was built with a fault)</translation>
    </message>
    <message>
        <source>переход с версии %1 не продвинулся (программа собрана с ошибкой)</source>
        <translation>the step up from version %1 got nowhere (the program was built with a fault)</translation>
    </message>
    <message>
        <source>это не файл</source>
        <translation>it is not a file</translation>
    </message>
    <message>
        <source>папка %1 недоступна для записи</source>
        <translation>the folder %1 cannot be written to</translation>
    </message>
    <message>
        <source>Файл урока %1 записан прежней версией программы и доступен только для чтения: урок открыт, а файл оставлен как есть.<byte value="xd"/>
Чтобы сохранить урок, сохраните его под другим именем («Сохранить как...»).</source>
        <translation>The lesson file %1 was written by an earlier version of the program and is read-only: the lesson is open, and the file is left as it is.<byte value="xd"/>
To keep the lesson, save it under another name (“Save As...”).</translation>
    </message>
</context>
<context>
    <name>Runsummary</name>
    <message>
        <source>Опыт %1: точек нет</source>
        <translation>Run %1: no points</translation>
    </message>
    <message>
        <source>%1 от %2 до %3</source>
        <translation>%1 from %2 to %3</translation>
    </message>
    <message>
        <source>метка «%1» на %2</source>
        <translation>label “%1” at %2</translation>
    </message>
    <message>
        <source>ещё меток: %1</source>
        <translation>more labels: %1</translation>
    </message>
    <message>
        <source>Опыт %1: %2</source>
        <translation>Run %1: %2</translation>
    </message>
</context>
<context>
    <name>Slopearea</name>
    <message>
        <source>по %1 точке</source>
        <extracomment>A slope is drawn through at least two points: the English is plural in both forms.</extracomment>
        <translation>through %1 points</translation>
    </message>
    <message>
        <source>по %1 точкам</source>
        <translation>through %1 points</translation>
    </message>
    <message>
        <source>с</source>
        <translation>s</translation>
    </message>
    <message>
        <source>точки нет в опыте</source>
        <translation>the point is not in the run</translation>
    </message>
    <message>
        <source>в окне меньше двух точек с разным временем — сделайте окно шире</source>
        <translation>the window holds fewer than two points with different times — make the window wider</translation>
    </message>
    <message>
        <source>значения в окне слишком велики</source>
        <translation>the values in the window are too big</translation>
    </message>
    <message>
        <source>поставьте два маркера в разных точках</source>
        <translation>put the two markers on different points</translation>
    </message>
    <message>
        <source>на участке меньше двух измеренных значений</source>
        <translation>the range has fewer than two measured values</translation>
    </message>
    <message>
        <source>значения на участке слишком велики</source>
        <translation>the values in the range are too big</translation>
    </message>
    <message>
        <source>Наклон не найден: %1</source>
        <translation>Slope not found: %1</translation>
    </message>
    <message>
        <source>Наклон при t = %1: %2 (прямая %3 за %4)</source>
        <translation>Slope at t = %1: %2 (line %3 over %4)</translation>
    </message>
    <message>
        <source>Площадь не найдена: %1</source>
        <translation>Area not found: %1</translation>
    </message>
    <message>
        <source>Площадь под кривой от %1 до %2: %3</source>
        <translation>Area under the curve from %1 to %2: %3</translation>
    </message>
</context>
<context>
    <name>Statistics</name>
    <message>
        <source>красный</source>
        <translation>red</translation>
    </message>
    <message>
        <source>синий</source>
        <translation>blue</translation>
    </message>
    <message>
        <source>зелёный</source>
        <translation>green</translation>
    </message>
    <message>
        <source>оранжевый</source>
        <translation>orange</translation>
    </message>
    <message>
        <source>фиолетовый</source>
        <translation>purple</translation>
    </message>
    <message>
        <source>чёрный</source>
        <translation>black</translation>
    </message>
    <message>
        <source>Опыт %1</source>
        <translation>Run %1</translation>
    </message>
    <message>
        <source>маркер 1 — %1, %2 — %3</source>
        <translation>marker 1 — %1, %2 — %3</translation>
    </message>
    <message>
        <source>конец опыта</source>
        <translation>end of the run</translation>
    </message>
    <message>
        <source>маркер 2</source>
        <translation>marker 2</translation>
    </message>
    <message>
        <source>; мин. %1, макс. %2, среднее %3</source>
        <translation>; min. %1, max. %2, mean %3</translation>
    </message>
    <message>
        <source>; скорость %1</source>
        <translation>; rate %1</translation>
    </message>
    <message>
        <source>/мин</source>
        <translation>/min</translation>
    </message>
</context>
<context>
    <name>tAutosave</name>
    <message>
        <source>Автосохранение не удалось: %1</source>
        <translation>Autosave failed: %1</translation>
    </message>
    <message>
        <source>папка %1 не создаётся</source>
        <translation>the folder %1 cannot be made</translation>
    </message>
    <message>
        <source>Невозможно создать папку %1 для автосохранения.</source>
        <translation>Cannot make the folder %1 for autosave.</translation>
    </message>
</context>
<context>
    <name>tLessonSaver</name>
    <message>
        <source>Невозможно сохранить урок в файл «%1».<byte value="xd"/>
%2</source>
        <translation>Cannot save the lesson to the file “%1”.<byte value="xd"/>
%2</translation>
    </message>
</context>
<context>
    <name>tTableModel</name>
    <message>
        <source>Метка</source>
        <translation>Label</translation>
    </message>
    <message>
        <source> (Опыт %1)</source>
        <translation> (Run %1)</translation>
    </message>
    <message>
        <source>Введите два числа: %1 и %2</source>
        <translation>Type two numbers: %1 and %2</translation>
    </message>
    <message>
        <source>Здесь нужно число, например 12,5 или 12.5</source>
        <translation>A number is needed here, for example 12,5 or 12.5</translation>
    </message>
</context>
</TS>
