<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>BackupChooser</name>
    <message>
        <source>Restore backup</source>
        <translation>Восстановление из резервной копии</translation>
    </message>
    <message>
        <source>There are no backups of the device %1.</source>
        <translation>Резервных копий устройства %1 нет.</translation>
    </message>
    <message>
        <source>Backups of the device %1, newest first:</source>
        <translation>Резервные копии устройства %1, сначала новые:</translation>
    </message>
    <message>
        <source>Taken</source>
        <translation>Создана</translation>
    </message>
    <message>
        <source>Software ID</source>
        <translation>Идентификатор ПО</translation>
    </message>
    <message>
        <source>Values that differ from the device</source>
        <translation>Значений, отличных от устройства</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Восстановить</translation>
    </message>
</context>
<context>
    <name>COMDialog</name>
    <message>
        <source>Link settings</source>
        <translation>Настройки связи</translation>
    </message>
    <message>
        <source>COM-port:</source>
        <translation>COM-порт:</translation>
    </message>
    <message>
        <source>Driver:</source>
        <translation>Драйвер:</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Авто</translation>
    </message>
    <message>
        <source>USB-Serial</source>
        <translation>USB-Serial</translation>
    </message>
    <message>
        <source>USB-HID</source>
        <translation>USB-HID</translation>
    </message>
    <message>
        <source>Review the changes before an upload</source>
        <translation>Показывать изменения перед записью в устройство</translation>
    </message>
    <message>
        <source>Keep a backup of the device&apos;s configuration before each write</source>
        <translation>Сохранять резервную копию конфигурации устройства перед каждой записью</translation>
    </message>
</context>
<context>
    <name>ConfFormat</name>
    <message>
        <source>Edit property value</source>
        <translation>Изменение значения параметра</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Open file</source>
        <translation>Открыть файл</translation>
    </message>
    <message>
        <source>Files (*)</source>
        <translation>Файлы (*)</translation>
    </message>
    <message>
        <source>Can&apos;t open file.</source>
        <translation>Не удаётся открыть файл.</translation>
    </message>
    <message>
        <source>File too large.</source>
        <translation>Файл слишком большой.</translation>
    </message>
    <message>
        <source>Incorrect format for time.</source>
        <translation>Неверный формат времени.</translation>
    </message>
    <message>
        <source>Incorrect format for IP address.</source>
        <translation>Неверный формат IP-адреса.</translation>
    </message>
    <message>
        <source>off</source>
        <translation>выкл</translation>
    </message>
    <message>
        <source>on</source>
        <translation>вкл</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 байт</translation>
    </message>
    <message>
        <source>These characters cannot be stored on the device (%1): %2</source>
        <translation>Эти символы нельзя сохранить в устройстве (%1): %2</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Not one of its items.</source>
        <translation>Нет такого варианта.</translation>
    </message>
    <message>
        <source>Not a whole number.</source>
        <translation>Не целое число.</translation>
    </message>
    <message>
        <source>Out of range: %1.</source>
        <translation>Вне диапазона: %1.</translation>
    </message>
    <message>
        <source>Not a number.</source>
        <translation>Не число.</translation>
    </message>
    <message>
        <source>Too long: %1.</source>
        <translation>Слишком длинно: %1.</translation>
    </message>
    <message>
        <source>Give the file to read as @FILE.</source>
        <translation>Укажите файл в виде @ФАЙЛ.</translation>
    </message>
    <message>
        <source>A structure has no value of its own.</source>
        <translation>У структуры нет собственного значения.</translation>
    </message>
    <message>
        <source>Not a regular file.</source>
        <translation>Не обычный файл.</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>от %1 до %2</translation>
    </message>
    <message>
        <source>at most %1 characters</source>
        <translation>не более %1 символов</translation>
    </message>
    <message>
        <source>at most %1 bytes</source>
        <translation>не более %1 байт</translation>
    </message>
    <message>
        <source>any number</source>
        <translation>любое число</translation>
    </message>
    <message>
        <source>%1 or more</source>
        <translation>%1 или больше</translation>
    </message>
    <message>
        <source>%1 or less</source>
        <translation>%1 или меньше</translation>
    </message>
</context>
<context>
    <name>ConfRow</name>
    <message>
        <source>Enabled when: %1.</source>
        <translation>Доступно, когда: %1.</translation>
    </message>
    <message>
        <source>Shown when: %1.</source>
        <translation>Показано, когда: %1.</translation>
    </message>
    <message>
        <source>(no such variable)</source>
        <translation>(нет такой переменной)</translation>
    </message>
    <message>
        <source>Now: %1.</source>
        <translation>Сейчас: %1.</translation>
    </message>
    <message>
        <source>False: %1.</source>
        <translation>Ложно: %1.</translation>
    </message>
</context>
<context>
    <name>ConfTree</name>
    <message>
        <source>Property</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Unnamed</source>
        <translation>Без имени</translation>
    </message>
    <message>
        <source>Set %1 to %2</source>
        <translation>%1 = %2</translation>
    </message>
    <message>
        <source>Open %1</source>
        <translation>Открыть %1</translation>
    </message>
    <message>
        <source>Revert %1</source>
        <translation>Вернуть %1</translation>
    </message>
    <message>
        <source>Revert all</source>
        <translation>Вернуть всё</translation>
    </message>
    <message>
        <source>Edit value</source>
        <translation>Изменить значение</translation>
    </message>
    <message>
        <source>Revert</source>
        <translation>Вернуть</translation>
    </message>
    <message>
        <source>Group &quot;%1&quot;: %2</source>
        <translation>Группа «%1»: %2</translation>
    </message>
</context>
<context>
    <name>FormatDL</name>
    <message>
        <source>Downloading Format</source>
        <translation>Загрузка описания</translation>
    </message>
    <message>
        <source>Downloading...</source>
        <translation>Загрузка...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Error creating file &apos;%1&apos;.</source>
        <translation>Не удаётся создать файл «%1».</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>VANT /// Device Configurator</source>
        <translation>VANT /// Конфигуратор устройств</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Файл</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Открыть</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <comment>File|Open</comment>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Сохранить</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <comment>File|Save</comment>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Save &amp;Binary</source>
        <translation>Сохранить &amp;двоичный файл</translation>
    </message>
    <message>
        <source>Ctrl+B</source>
        <comment>File|SaveBin</comment>
        <translation>Ctrl+B</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>В&amp;ыход</translation>
    </message>
    <message>
        <source>Ctrl+X</source>
        <comment>Exit</comment>
        <translation>Ctrl+X</translation>
    </message>
    <message>
        <source>&amp;Device</source>
        <translation>&amp;Устройство</translation>
    </message>
    <message>
        <source>Read device &amp;ID</source>
        <translation>Прочитать &amp;идентификатор устройства</translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <comment>Device|ID</comment>
        <translation>Ctrl+I</translation>
    </message>
    <message>
        <source>&amp;Download configuration</source>
        <translation>С&amp;читать конфигурацию</translation>
    </message>
    <message>
        <source>Ctrl+D</source>
        <comment>Device|Download</comment>
        <translation>Ctrl+D</translation>
    </message>
    <message>
        <source>&amp;Upload configuration</source>
        <translation>&amp;Записать конфигурацию</translation>
    </message>
    <message>
        <source>Ctrl+U</source>
        <comment>Device|Upload</comment>
        <translation>Ctrl+U</translation>
    </message>
    <message>
        <source>Update firmwa&amp;re</source>
        <translation>Обновить &amp;прошивку</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <comment>Device|Firmware</comment>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>&amp;Link settings</source>
        <translation>&amp;Настройки связи</translation>
    </message>
    <message>
        <source>Ctrl+C</source>
        <comment>Device|Link</comment>
        <translation>Ctrl+C</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Вопрос</translation>
    </message>
    <message>
        <source>Do you really want to exit ?</source>
        <translation>Вы действительно хотите выйти?</translation>
    </message>
    <message>
        <source>COM-port error.</source>
        <translation>Ошибка COM-порта.</translation>
    </message>
    <message>
        <source>Device not found.</source>
        <translation>Устройство не найдено.</translation>
    </message>
    <message>
        <source>File error.</source>
        <translation>Ошибка файла.</translation>
    </message>
    <message>
        <source>Protocol error.</source>
        <translation>Ошибка протокола.</translation>
    </message>
    <message>
        <source>Transfer canceled.</source>
        <translation>Передача отменена.</translation>
    </message>
    <message>
        <source>Incompatible version of hardware/software.</source>
        <translation>Несовместимая версия аппаратного или программного обеспечения.</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Неизвестная ошибка.</translation>
    </message>
    <message>
        <source>Transfer</source>
        <translation>Передача</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Информация</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Hardware ID: %1
Software ID: %2</source>
        <translation>Идентификатор оборудования: %1
Идентификатор ПО: %2</translation>
    </message>
    <message>
        <source>Transfer ok.</source>
        <translation>Передача завершена.</translation>
    </message>
    <message>
        <source>Can&apos;t get device descriptor.
No Internet connection ?</source>
        <translation>Не удаётся получить описание устройства.
Нет подключения к Интернету?</translation>
    </message>
    <message>
        <source>Binary data format error.</source>
        <translation>Ошибка формата двоичных данных.</translation>
    </message>
    <message>
        <source>No configuration to upload.</source>
        <translation>Нет конфигурации для записи.</translation>
    </message>
    <message>
        <source>Configuration too large for the device.</source>
        <translation>Конфигурация слишком велика для устройства.</translation>
    </message>
    <message>
        <source>Open file</source>
        <translation>Открыть файл</translation>
    </message>
    <message>
        <source>Firmware files (*.fw)</source>
        <translation>Файлы прошивки (*.fw)</translation>
    </message>
    <message>
        <source>Configuration files (*.xml)</source>
        <translation>Файлы конфигурации (*.xml)</translation>
    </message>
    <message>
        <source>Error loading file.</source>
        <translation>Ошибка загрузки файла.</translation>
    </message>
    <message>
        <source>No configuration to save.</source>
        <translation>Нет конфигурации для сохранения.</translation>
    </message>
    <message>
        <source>Save file</source>
        <translation>Сохранить файл</translation>
    </message>
    <message>
        <source>Binary files (*.bin)</source>
        <translation>Двоичные файлы (*.bin)</translation>
    </message>
    <message>
        <source>Error saving file.</source>
        <translation>Ошибка сохранения файла.</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>автоматически</translation>
    </message>
    <message>
        <source>Device: %1, %2</source>
        <translation>Устройство: %1, %2</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Считывание</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Правка</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Отменить</translation>
    </message>
    <message>
        <source>Ctrl+Z</source>
        <comment>Edit|Undo</comment>
        <translation>Ctrl+Z</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Повторить</translation>
    </message>
    <message>
        <source>Ctrl+Shift+Z</source>
        <comment>Edit|Redo</comment>
        <translation>Ctrl+Shift+Z</translation>
    </message>
    <message>
        <source>Ctrl+Y</source>
        <comment>Edit|Redo</comment>
        <translation>Ctrl+Y</translation>
    </message>
    <message>
        <source>Revert &amp;all</source>
        <translation>Вернуть &amp;всё</translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation>&amp;Найти</translation>
    </message>
    <message>
        <source>Ctrl+F</source>
        <comment>Edit|Find</comment>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Вид</translation>
    </message>
    <message>
        <source>&amp;Changed only</source>
        <translation>Только &amp;изменённые</translation>
    </message>
    <message>
        <source>Show &amp;hidden rows</source>
        <translation>Показать &amp;скрытые строки</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Поиск</translation>
    </message>
    <message>
        <source>Find a setting (Ctrl+F)</source>
        <translation>Найти параметр (Ctrl+F)</translation>
    </message>
    <message>
        <source>Matches: %1</source>
        <translation>Найдено: %1</translation>
    </message>
    <message>
        <source>Changed: %1</source>
        <translation>Изменено: %1</translation>
    </message>
    <message>
        <source>Link: %1</source>
        <translation>Связь: %1</translation>
    </message>
    <message>
        <source>&lt;p&gt;To begin, download the configuration from the device (Device &amp;gt; Download configuration, Ctrl+D) or open a value file (File &amp;gt; Open, Ctrl+O).&lt;/p&gt;</source>
        <translation>&lt;p&gt;Для начала считайте конфигурацию из устройства (Устройство &amp;gt; Считать конфигурацию, Ctrl+D) или откройте файл значений (Файл &amp;gt; Открыть, Ctrl+O).&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Values changed and not saved: %1.</source>
        <translation>Изменено и не сохранено значений: %1.</translation>
    </message>
    <message>
        <source>Restore &amp;backup...</source>
        <translation>Восстановить из &amp;резервной копии...</translation>
    </message>
    <message>
        <source>&amp;Reload description</source>
        <translation>&amp;Перечитать описание</translation>
    </message>
    <message>
        <source>F5</source>
        <comment>View|Reload</comment>
        <translation>F5</translation>
    </message>
    <message>
        <source>No description to reload.</source>
        <translation>Нет описания, которое можно перечитать.</translation>
    </message>
    <message>
        <source>Description %1 reloaded.</source>
        <translation>Описание %1 перечитано.</translation>
    </message>
    <message>
        <source>Description %1 does not load; nothing changed.</source>
        <translation>Описание %1 не загружается; ничего не изменено.</translation>
    </message>
    <message>
        <source>there is no description of %1.</source>
        <translation>нет описания %1.</translation>
    </message>
    <message>
        <source>the configuration does not unpack (%1).</source>
        <translation>конфигурация не распаковывается (%1).</translation>
    </message>
    <message>
        <source>the device has the configuration of %1, the values to be written are of %2.</source>
        <translation>в устройстве конфигурация %1, а записываемые значения относятся к %2.</translation>
    </message>
    <message>
        <source>the device&apos;s configuration could not be read: %1</source>
        <translation>не удалось прочитать конфигурацию устройства: %1</translation>
    </message>
    <message>
        <source>The backup could not be kept: %1
Nothing was written.</source>
        <translation>Не удалось сохранить резервную копию: %1
Ничего не записано.</translation>
    </message>
    <message>
        <source>The backup is damaged: %1</source>
        <translation>Резервная копия повреждена: %1</translation>
    </message>
    <message>
        <source>&amp;Provision...</source>
        <translation>&amp;Массовая запись...</translation>
    </message>
    <message>
        <source>A module of the program could not be loaded:
%1</source>
        <translation>Не удалось загрузить модуль программы:
%1</translation>
    </message>
</context>
<context>
    <name>MessagesPane</name>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Информация</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Сообщения</translation>
    </message>
    <message>
        <source>Severity</source>
        <translation>Важность</translation>
    </message>
    <message>
        <source>Where</source>
        <translation>Где</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Сообщение</translation>
    </message>
    <message>
        <source>Copy all</source>
        <translation>Копировать всё</translation>
    </message>
</context>
<context>
    <name>ProvisionDialog</name>
    <message>
        <source>Provision devices</source>
        <translation>Запись в несколько устройств</translation>
    </message>
    <message>
        <source>Values:</source>
        <translation>Значения:</translation>
    </message>
    <message>
        <source>the values in the window (%1)</source>
        <translation>значения в окне (%1)</translation>
    </message>
    <message>
        <source>none: choose a value file</source>
        <translation>нет: выберите файл значений</translation>
    </message>
    <message>
        <source>Value &amp;file...</source>
        <translation>&amp;Файл значений...</translation>
    </message>
    <message>
        <source>Open file</source>
        <translation>Открыть файл</translation>
    </message>
    <message>
        <source>Configuration files (*.xml)</source>
        <translation>Файлы конфигурации (*.xml)</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Устройство</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Ход</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Результат</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Обновить</translation>
    </message>
    <message>
        <source>Number devices in:</source>
        <translation>Нумеровать устройства в:</translation>
    </message>
    <message>
        <source>from </source>
        <translation>с </translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Начать</translation>
    </message>
    <message>
        <source>Save &amp;report...</source>
        <translation>Сохранить о&amp;тчёт...</translation>
    </message>
    <message>
        <source>Save file</source>
        <translation>Сохранить файл</translation>
    </message>
    <message>
        <source>Reports (*.tsv *.txt)</source>
        <translation>Отчёты (*.tsv *.txt)</translation>
    </message>
    <message>
        <source>%1 does not load. %2</source>
        <translation>%1 не загружается. %2</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(нет)</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>No configuration to upload.</source>
        <translation>Нет конфигурации для записи.</translation>
    </message>
    <message>
        <source>No device is chosen.</source>
        <translation>Не выбрано ни одного устройства.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>%1 for device %2: %3</source>
        <translation>%1 для устройства %2: %3</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>started</source>
        <translation>начато</translation>
    </message>
    <message>
        <source>identified: %1, %2</source>
        <translation>опознано: %1, %2</translation>
    </message>
    <message>
        <source>backed up</source>
        <translation>резервная копия сохранена</translation>
    </message>
    <message>
        <source>uploading</source>
        <translation>запись</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Error saving file.</source>
        <translation>Ошибка сохранения файла.</translation>
    </message>
</context>
<context>
    <name>ReviewDialog</name>
    <message>
        <source>Review upload</source>
        <translation>Проверка записи</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>On the device</source>
        <translation>В устройстве</translation>
    </message>
    <message>
        <source>To be written</source>
        <translation>Будет записано</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Записать</translation>
    </message>
    <message>
        <source>The values on the device cannot be compared: %1</source>
        <translation>Значения в устройстве нельзя сравнить: %1</translation>
    </message>
    <message>
        <source>Upload anyway</source>
        <translation>Всё равно записать</translation>
    </message>
    <message>
        <source>The device already holds these values.</source>
        <translation>В устройстве уже эти значения.</translation>
    </message>
    <message>
        <source>Values that will change on the device: %1</source>
        <translation>Значений, которые изменятся в устройстве: %1</translation>
    </message>
</context>
</TS>
