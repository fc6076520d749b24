<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>О программе velmora</source>
        <translation>About velmora</translation>
    </message>
    <message>
        <source>velmora, версия %1</source>
        <translation>velmora, version %1</translation>
    </message>
    <message>
        <source>Программа приема и передачи ЭКГ портативного кардиографа</source>
        <translation>Receives and sends ECGs of the portable electrocardiograph</translation>
    </message>
</context>
<context>
    <name>CBalloonHelp</name>
    <message>
        <source>Внимание!</source>
        <translation>Attention!</translation>
    </message>
    <message>
        <source>Сообщение</source>
        <translation>Message</translation>
    </message>
</context>
<context>
    <name>CChartRenderer</name>
    <message>
        <source>отведение отсутствует в записи</source>
        <translation>lead not in the record</translation>
    </message>
</context>
<context>
    <name>CChildFrame</name>
    <message>
        <source>новая кардиограмма</source>
        <translation>new cardiogram</translation>
    </message>
    <message>
        <source>Начать новый приём</source>
        <translation>Start a new reception</translation>
    </message>
    <message>
        <source>Закрыть окно</source>
        <translation>Close the window</translation>
    </message>
</context>
<context>
    <name>CChildView</name>
    <message>
        <source>Заключение: %1. Подтверждено: %2, %3</source>
        <translation>Interpretation: %1. Confirmed: %2, %3</translation>
    </message>
    <message>
        <source>Автоматическое заключение (не подтверждено врачом): %1.</source>
        <translation>Automatic interpretation (not confirmed by a physician): %1.</translation>
    </message>
    <message>
        <source>сетевой фильтр %1 Гц</source>
        <translation>mains filter %1 Hz</translation>
    </message>
    <message>
        <source>ЧСС %1 уд/мин (по монитору)</source>
        <translation>HR %1 bpm (from the monitor)</translation>
    </message>
    <message>
        <source>ЧСС: комплексы QRS не найдены (по монитору)</source>
        <translation>HR: no QRS complexes found (from the monitor)</translation>
    </message>
    <message>
        <source>Запись не сохранена в папку принятых: %1</source>
        <translation>The record was not saved to the received folder: %1</translation>
    </message>
    <message>
        <source>Не удалось открыть порт %1</source>
        <translation>Could not open port %1</translation>
    </message>
    <message>
        <source>Порт недоступен: %1
Повторное подключение каждую секунду…</source>
        <translation>Port unavailable: %1
Reconnecting every second…</translation>
    </message>
</context>
<context>
    <name>CEcgDocument</name>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 ч %2 мин</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 ч</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <source> (первые 10 с из %1)</source>
        <translation> (first 10 s of %1)</translation>
    </message>
    <message>
        <source>ЭКГ</source>
        <translation>ECG</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Открытие записи</source>
        <translation>Opening a record</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Открытие файла «%1»…</source>
        <translation>Opening file “%1”…</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>ПРОП</source>
        <comment>Caps Lock indicator</comment>
        <translation>CAP</translation>
    </message>
    <message>
        <source>ЦИФР</source>
        <comment>Num Lock indicator</comment>
        <translation>NUM</translation>
    </message>
    <message>
        <source>ПРКР</source>
        <comment>Scroll Lock indicator</comment>
        <translation>SCRL</translation>
    </message>
    <message>
        <source>Архив: %1</source>
        <translation>Archive: %1</translation>
    </message>
    <message>
        <source>Запись не добавлена в архив: %1</source>
        <translation>The record was not added to the archive: %1</translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation>The archive did not open: %1</translation>
    </message>
    <message>
        <source>Запись из архива не открыта: %1</source>
        <translation>The archived record did not open: %1</translation>
    </message>
    <message>
        <source>Архив: %1 %2</source>
        <translation>Archive: %1 %2</translation>
    </message>
    <message>
        <source>без карточки</source>
        <translation>no patient card</translation>
    </message>
    <message>
        <source>Сравнение недоступно: архив не открыт: %1</source>
        <translation>Comparison unavailable: the archive did not open: %1</translation>
    </message>
    <message>
        <source>Сравнение не открыто: %1</source>
        <translation>The comparison did not open: %1</translation>
    </message>
    <message>
        <source>Учётная запись %1 создана.</source>
        <translation>Account %1 created.</translation>
    </message>
    <message>
        <source>Создать учётную запись врача...</source>
        <translation>Create a physician account...</translation>
    </message>
    <message>
        <source>В архиве ещё нет врачей: заключение подтверждает врач под своим именем и паролем</source>
        <translation>The archive has no physicians yet: an interpretation is confirmed by a physician under their own name and password</translation>
    </message>
    <message>
        <source>Заключение подтверждается для записи в архиве; эта запись ещё не в нём</source>
        <translation>An interpretation is confirmed for a record in the archive; this record is not in it yet</translation>
    </message>
</context>
<context>
    <name>CRecordCommands</name>
    <message>
        <source>Запись отправлена в PACS %1 (%2:%3).</source>
        <translation>The record was sent to PACS %1 (%2:%3).</translation>
    </message>
    <message>
        <source>Отправка в PACS отменена: архив записи не получил.</source>
        <translation>Sending to PACS cancelled: the archive did not receive the record.</translation>
    </message>
    <message>
        <source>Не удалось отправить в PACS: %1</source>
        <translation>Could not send to PACS: %1</translation>
    </message>
    <message>
        <source>Настройки не сохранены: %1</source>
        <translation>Settings not saved: %1</translation>
    </message>
    <message>
        <source>Принятая запись не сохранена: её не удалось записать в папку принятых.</source>
        <translation>The received record is not saved: it could not be written to the received folder.</translation>
    </message>
    <message>
        <source>Карточка пациента изменена и не сохранена ни в одном файле.</source>
        <translation>The patient card was changed and is not saved in any file.</translation>
    </message>
    <message>
        <source>%1
%2 и потерять её? Чтобы сохранить, выберите «Нет» и сохраните запись.</source>
        <translation>%1
%2 and lose it? To keep it, choose “No” and save the record.</translation>
    </message>
    <message>
        <source>Запись ещё сохраняется: дождитесь конца.</source>
        <translation>The record is still being saved: wait until it finishes.</translation>
    </message>
    <message>
        <source>Не удалось напечатать отчет: принтер %1 недоступен</source>
        <translation>Could not print the report: printer %1 is unavailable</translation>
    </message>
    <message>
        <source>Документы PDF (*.pdf)</source>
        <translation>PDF documents (*.pdf)</translation>
    </message>
    <message>
        <source>Отправка в PACS невозможна: %1 (Настройки, страница PACS)</source>
        <translation>Cannot send to PACS: %1 (Settings, PACS page)</translation>
    </message>
    <message>
        <source>Отправка в МИС невозможна: не задан адрес медицинской информационной системы (Настройки, страница PACS)</source>
        <translation>Cannot send to the HIS: the hospital information system address is not set (Settings, PACS page)</translation>
    </message>
    <message>
        <source>Отправка в МИС невозможна: в карточке нет ни фамилии пациента, ни номера медицинской карты</source>
        <translation>Cannot send to the HIS: the card has neither the patient’s last name nor the medical record number</translation>
    </message>
    <message>
        <source> В очереди для МИС: %1 (Архив, Очередь результатов для МИС).</source>
        <translation> Waiting for the HIS: %1 (Archive, HIS result queue).</translation>
    </message>
    <message>
        <source>Результат принят медицинской информационной системой.</source>
        <translation>The hospital information system accepted the result.</translation>
    </message>
    <message>
        <source>Отправка в МИС остановлена; результат сохранён в очереди.</source>
        <translation>Sending to the HIS stopped; the result is kept in the queue.</translation>
    </message>
    <message>
        <source>Результат не принят МИС: %1. Он сохранён и будет отправлен снова.</source>
        <translation>The HIS did not accept the result: %1. It is kept and will be sent again.</translation>
    </message>
</context>
<context>
    <name>CommandTable</name>
    <message>
        <source>&amp;Файл</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Редактирование</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>Данные</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>&amp;Вид</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Окна</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>&amp;Помощь</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;Архив</source>
        <translation>&amp;Archive</translation>
    </message>
    <message>
        <source>&amp;Новый	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>Создать новый документ
Новый</source>
        <translation>Create a new document
New</translation>
    </message>
    <message>
        <source>&amp;Открыть...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>Открыть существующий документ
Открыть</source>
        <translation>Open an existing document
Open</translation>
    </message>
    <message>
        <source>&amp;Рабочий список...</source>
        <translation>&amp;Worklist...</translation>
    </message>
    <message>
        <source>Направления на ЭКГ из рабочего списка больницы: выбрать пациента для записи
Рабочий список</source>
        <translation>ECG orders from the hospital worklist: choose a patient to record
Worklist</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Закрыть активный документ
Закрыть</source>
        <translation>Close the active document
Close</translation>
    </message>
    <message>
        <source>&amp;Печать...	Ctrl+P</source>
        <translation>&amp;Print...	Ctrl+P</translation>
    </message>
    <message>
        <source>Напечатать отчет об ЭКГ
Печать</source>
        <translation>Print the ECG report
Print</translation>
    </message>
    <message>
        <source>Предварительный про&amp;смотр</source>
        <translation>Print pre&amp;view</translation>
    </message>
    <message>
        <source>Показать отчет об ЭКГ так, как он будет напечатан
Предварительный просмотр</source>
        <translation>Show the ECG report as it will be printed
Print preview</translation>
    </message>
    <message>
        <source>Сохранить в P&amp;DF...</source>
        <translation>Save as P&amp;DF...</translation>
    </message>
    <message>
        <source>Сохранить отчет об ЭКГ в файл PDF
Сохранить в PDF</source>
        <translation>Save the ECG report to a PDF file
Save as PDF</translation>
    </message>
    <message>
        <source>&amp;Выход</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Выйти из приложения
Выход</source>
        <translation>Quit the application
Exit</translation>
    </message>
    <message>
        <source>&amp;Отменить	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>Отменить последнее действие
Отменить</source>
        <translation>Undo the last action
Undo</translation>
    </message>
    <message>
        <source>&amp;Вырезать	Ctrl+X</source>
        <translation>Cu&amp;t	Ctrl+X</translation>
    </message>
    <message>
        <source>Вырезать выделенное и поместить в буфер обмена
Вырезать</source>
        <translation>Cut the selection and put it on the Clipboard
Cut</translation>
    </message>
    <message>
        <source>&amp;Копировать	Ctrl+C</source>
        <translation>&amp;Copy	Ctrl+C</translation>
    </message>
    <message>
        <source>Копировать выделенное в буфер обмена
Копировать</source>
        <translation>Copy the selection and put it on the Clipboard
Copy</translation>
    </message>
    <message>
        <source>Вст&amp;авить	Ctrl+V</source>
        <translation>&amp;Paste	Ctrl+V</translation>
    </message>
    <message>
        <source>Вставить содержимое буфера обмена
Вставить</source>
        <translation>Insert Clipboard contents
Paste</translation>
    </message>
    <message>
        <source>&amp;Настройки</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>Настроить параметры документа
Настройка</source>
        <translation>Set the document’s parameters
Settings</translation>
    </message>
    <message>
        <source>Прием данных от кардиографа</source>
        <translation>Receive data from the cardiograph</translation>
    </message>
    <message>
        <source>Начать или закончить прием данных от кардиографа
Передача данных от кардиографа</source>
        <translation>Start or stop receiving data from the cardiograph
Data from the cardiograph</translation>
    </message>
    <message>
        <source>Редактировать описание</source>
        <translation>Edit description</translation>
    </message>
    <message>
        <source>Допавить или изменить описание к записи
Описание</source>
        <translation>Add or change the record’s description
Description</translation>
    </message>
    <message>
        <source>Сохранить в файл</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>Сохранить запись на диске
Сохранить</source>
        <translation>Save the record to disk
Save</translation>
    </message>
    <message>
        <source>Отправить по E-Mail</source>
        <translation>Send by e-mail</translation>
    </message>
    <message>
        <source>Отправить запись в электронном письме
Отправить</source>
        <translation>Send the record in an e-mail
Send</translation>
    </message>
    <message>
        <source>Сохранить в SCP файл</source>
        <translation>Save to SCP file</translation>
    </message>
    <message>
        <source>Сохранить файл SCP на диске
Сохранить</source>
        <translation>Save an SCP file to disk
Save</translation>
    </message>
    <message>
        <source>Отправить SCP по E-Mail</source>
        <translation>Send SCP by e-mail</translation>
    </message>
    <message>
        <source>Отправить файл SCP в электронном письме
Отправить</source>
        <translation>Send an SCP file in an e-mail
Send</translation>
    </message>
    <message>
        <source>Отправить DICOM по E-Mail</source>
        <translation>Send DICOM by e-mail</translation>
    </message>
    <message>
        <source>Отправить запись как DICOM ЭКГ в электронном письме
Отправить</source>
        <translation>Send the record as a DICOM ECG in an e-mail
Send</translation>
    </message>
    <message>
        <source>Отправить в PACS</source>
        <translation>Send to PACS</translation>
    </message>
    <message>
        <source>Отправить запись в архив больницы (PACS) как DICOM ЭКГ; Esc прерывает
Отправить в PACS</source>
        <translation>Send the record to the hospital archive (PACS) as a DICOM ECG; Esc stops it
Send to PACS</translation>
    </message>
    <message>
        <source>Отправить результат в МИС</source>
        <translation>Send result to HIS</translation>
    </message>
    <message>
        <source>Отправить результат (измерения, заключение и отчёт) в медицинскую информационную систему больницы по HL7; Esc прерывает
Отправить в МИС</source>
        <translation>Send the result (measurements, interpretation and report) to the hospital information system over HL7; Esc stops it
Send to HIS</translation>
    </message>
    <message>
        <source>&amp;Панель инструментов</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>Показать или спрятать панель инструментов
Переключить панель инструментов</source>
        <translation>Show or hide the toolbar
Toggle toolbar</translation>
    </message>
    <message>
        <source>&amp;Статусная строка</source>
        <translation>&amp;Status bar</translation>
    </message>
    <message>
        <source>Показать или спрятать статусную строку
Переключить статусную строку</source>
        <translation>Show or hide the status bar
Toggle status bar</translation>
    </message>
    <message>
        <source>&amp;Каскадом</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>Выстроить окна каскадом
Каскадом</source>
        <translation>Arrange windows so they overlap
Cascade</translation>
    </message>
    <message>
        <source>&amp;Замостить</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>Замостить окно горизонтально
Замостить</source>
        <translation>Arrange windows as non-overlapping tiles
Tile</translation>
    </message>
    <message>
        <source>&amp;Выстроить</source>
        <translation>&amp;Arrange icons</translation>
    </message>
    <message>
        <source>Выстроить Значки внизу окна
Выстроить значки</source>
        <translation>Arrange icons at the bottom of the window
Arrange icons</translation>
    </message>
    <message>
        <source>&amp;Пациенты...	Ctrl+Shift+A</source>
        <translation>&amp;Patients...	Ctrl+Shift+A</translation>
    </message>
    <message>
        <source>Архив: все записи всех пациентов, поиск по фамилии и номеру карты
Архив</source>
        <translation>Archive: all records of all patients, search by last name and record number
Archive</translation>
    </message>
    <message>
        <source>&amp;Импорт папки...</source>
        <translation>&amp;Import folder...</translation>
    </message>
    <message>
        <source>Добавить в архив все записи из папки и её подпапок
Импорт папки</source>
        <translation>Add every record in a folder and its subfolders to the archive
Import folder</translation>
    </message>
    <message>
        <source>&amp;Очередь результатов для МИС...</source>
        <translation>HIS result &amp;queue...</translation>
    </message>
    <message>
        <source>Результаты, которые медицинская информационная система ещё не приняла: отправить снова или удалить
Очередь для МИС</source>
        <translation>Results the hospital information system has not accepted yet: send again or delete
HIS queue</translation>
    </message>
    <message>
        <source>&amp;Новый врач...</source>
        <translation>&amp;New physician...</translation>
    </message>
    <message>
        <source>Создать учётную запись врача, который подтверждает заключения
Новый врач</source>
        <translation>Create an account for a physician who confirms interpretations
New physician</translation>
    </message>
    <message>
        <source>&amp;Заключение...</source>
        <translation>&amp;Reading...</translation>
    </message>
    <message>
        <source>Заключение врача по записи: утверждения, подтверждение и изменения
Заключение</source>
        <translation>The physician’s reading of the record: statements, confirmation and amendments
Reading</translation>
    </message>
    <message>
        <source>&amp;Сравнить с предыдущей ЭКГ</source>
        <translation>&amp;Compare with previous ECG</translation>
    </message>
    <message>
        <source>Сравнить запись с предыдущей ЭКГ этого пациента из архива: обе записи, усреднённые комплексы, измерения и динамика
Сравнить с предыдущей ЭКГ</source>
        <translation>Compare the record with this patient’s previous ECG in the archive: both records, averaged complexes, measurements and changes
Compare with previous ECG</translation>
    </message>
    <message>
        <source>&amp;О программе...</source>
        <translation>&amp;About velmora...</translation>
    </message>
    <message>
        <source>Информация о программе. Версия. Копирайты
О программе...</source>
        <translation>Program information, version and copyright
About velmora...</translation>
    </message>
    <message>
        <source>Перейти к следующему окну
Следующее окно</source>
        <translation>Switch to the next window
Next window</translation>
    </message>
    <message>
        <source>Вернуться к предыдущему окну
Предыдущее окно</source>
        <translation>Switch back to the previous window
Previous window</translation>
    </message>
    <message>
        <source>Сравнение недоступно: нет записи в окне</source>
        <translation>Comparison unavailable: no record in the window</translation>
    </message>
    <message>
        <source>Сравнение недоступно: записи нет в архиве</source>
        <translation>Comparison unavailable: the record is not in the archive</translation>
    </message>
    <message>
        <source>Сравнение недоступно: в архиве нет более ранней записи этого пациента</source>
        <translation>Comparison unavailable: the archive has no earlier record of this patient</translation>
    </message>
</context>
<context>
    <name>ReadingCommands</name>
    <message>
        <source>Скорость 25 мм/с</source>
        <translation>Speed 25 mm/s</translation>
    </message>
    <message>
        <source>Скорость 50 мм/с</source>
        <translation>Speed 50 mm/s</translation>
    </message>
    <message>
        <source>Усиление 5 мм/мВ</source>
        <translation>Gain 5 mm/mV</translation>
    </message>
    <message>
        <source>Усиление 10 мм/мВ</source>
        <translation>Gain 10 mm/mV</translation>
    </message>
    <message>
        <source>Усиление 20 мм/мВ</source>
        <translation>Gain 20 mm/mV</translation>
    </message>
    <message>
        <source>Сетевой фильтр 50 Гц</source>
        <translation>Mains filter 50 Hz</translation>
    </message>
    <message>
        <source>Сетевой фильтр 60 Гц</source>
        <translation>Mains filter 60 Hz</translation>
    </message>
    <message>
        <source>Дрейф изолинии 0,05 Гц</source>
        <translation>Baseline drift 0.05 Hz</translation>
    </message>
    <message>
        <source>Дрейф изолинии 0,67 Гц</source>
        <translation>Baseline drift 0.67 Hz</translation>
    </message>
    <message>
        <source>Миографический фильтр 35 Гц</source>
        <translation>Muscle filter 35 Hz</translation>
    </message>
    <message>
        <source>Миографический фильтр 40 Гц</source>
        <translation>Muscle filter 40 Hz</translation>
    </message>
    <message>
        <source>Отметки комплексов и границ волн</source>
        <translation>Beat and wave boundary marks</translation>
    </message>
</context>
<context>
    <name>ReadingSettings</name>
    <message>
        <source>50 Гц</source>
        <translation>50 Hz</translation>
    </message>
    <message>
        <source>60 Гц</source>
        <translation>60 Hz</translation>
    </message>
    <message>
        <source>%1-%2 Гц</source>
        <translation>%1-%2 Hz</translation>
    </message>
    <message>
        <source>от %1 Гц</source>
        <translation>from %1 Hz</translation>
    </message>
    <message>
        <source>до %1 Гц</source>
        <translation>up to %1 Hz</translation>
    </message>
    <message>
        <source>%1 мм/с %2 мм/мВ</source>
        <translation>%1 mm/s %2 mm/mV</translation>
    </message>
    <message>
        <source>%1 мс   %2 мВ</source>
        <translation>%1 ms   %2 mV</translation>
    </message>
    <message>
        <source>   %1 уд/мин</source>
        <translation>   %1 bpm</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>Эйнтховен</source>
        <translation>Einthoven</translation>
    </message>
    <message>
        <source>Нэб</source>
        <translation>Nehb</translation>
    </message>
    <message>
        <source>Слопак</source>
        <translation>Slopak</translation>
    </message>
    <message>
        <source>50 Гц Вкл.</source>
        <translation>50 Hz on</translation>
    </message>
    <message>
        <source>35 Гц Выкл.</source>
        <translation>35 Hz off</translation>
    </message>
    <message>
        <source>35 Гц Вкл.</source>
        <translation>35 Hz on</translation>
    </message>
    <message>
        <source>50 Гц Выкл.</source>
        <translation>50 Hz off</translation>
    </message>
    <message>
        <source>Обработка данных</source>
        <translation>Processing data</translation>
    </message>
    <message>
        <source>Обрыв связи !</source>
        <translation>Connection lost!</translation>
    </message>
    <message>
        <source>Идет прием данных</source>
        <translation>Receiving data</translation>
    </message>
    <message>
        <source>Идет передача данных</source>
        <translation>Sending data</translation>
    </message>
</context>
</TS>
