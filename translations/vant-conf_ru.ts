<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
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
</context>
</TS>
