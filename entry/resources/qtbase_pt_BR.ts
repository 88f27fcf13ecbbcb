<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Brazilian Portuguese for the texts of Qt's own dialogs and menus that the
     program shows (file dialogs, print preview and set-up, edit menus, button
     boxes), from Qt 6.4's translations (qtbase, LGPL). Loaded only when the
     system lacks Qt's translations (Debian: qt6-translations-l10n). -->
<TS version="2.1" language="pt_BR">
<context>
    <name>QFileDialog</name>
    <message>
        <source>Back</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Arquivo</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Abrir</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Salvar</translation>
    </message>
    <message>
        <source>Alias</source>
        <translation>Nome de exibição</translation>
    </message>
    <message>
        <source>Drive</source>
        <translation>Unidade</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Arquivos</translation>
    </message>
    <message>
        <source>Show </source>
        <translation>Mostrar </translation>
    </message>
    <message>
        <source>'%1' is write protected.
Do you want to delete it anyway?</source>
        <translation>'%1' está protegido contra gravação.
Deseja excluí-lo mesmo assim?</translation>
    </message>
    <message>
        <source>Are you sure you want to delete '%1'?</source>
        <translation>Deseja realmente excluir '%1'?</translation>
    </message>
    <message>
        <source>List of places and bookmarks</source>
        <translation>Lista de locais e favoritos</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>&amp;Nome do arquivo:</translation>
    </message>
    <message>
        <source>Alt+Left</source>
        <translation>Alt+Esquerda</translation>
    </message>
    <message>
        <source>Alt+Up</source>
        <translation>Alt+Acima</translation>
    </message>
    <message>
        <source>File Folder</source>
        <translation>Pasta de arquivos</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Excluir</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>Nova pasta</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Pasta</translation>
    </message>
    <message>
        <source>Parent Directory</source>
        <translation>Pasta superior</translation>
    </message>
    <message>
        <source>&amp;New Folder</source>
        <translation>&amp;Nova pasta</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Remover</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Meu computador</translation>
    </message>
    <message>
        <source>Look in:</source>
        <translation>Procurar em:</translation>
    </message>
    <message>
        <source>Alt+Right</source>
        <translation>Alt+Direita</translation>
    </message>
    <message>
        <source>Create a New Folder</source>
        <translation>Cria uma nova pasta</translation>
    </message>
    <message>
        <source>%1 File</source>
        <translation>Arquivo %1</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>Arquivos do tipo:</translation>
    </message>
    <message>
        <source>Find Directory</source>
        <translation>Localizar a pasta</translation>
    </message>
    <message>
        <source>Show &amp;hidden files</source>
        <translation>Mostrar arquivos &amp;ocultos</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Salvar como</translation>
    </message>
    <message>
        <source>%1
Directory not found.
Please verify the correct directory name was given.</source>
        <translation>%1
Pasta não encontrada.
Verifique se foi indicado um nome correto para a pasta.</translation>
    </message>
    <message>
        <source>Sidebar</source>
        <translation>Barra lateral</translation>
    </message>
    <message>
        <source>List View</source>
        <translation>Exibição em lista</translation>
    </message>
    <message>
        <source>&amp;Choose</source>
        <translation>Es&amp;colher</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>E&amp;xcluir</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Todos os arquivos (*)</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Todos os arquivos (*)</translation>
    </message>
    <message>
        <source>Directories</source>
        <translation>Pastas</translation>
    </message>
    <message>
        <source>&amp;Rename</source>
        <translation>&amp;Renomear</translation>
    </message>
    <message>
        <source>Could not delete directory.</source>
        <translation>Não foi possível excluir a pasta.</translation>
    </message>
    <message>
        <source>Directory:</source>
        <translation>Pasta:</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Desconhecido</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 já existe.
Deseja substituí-la?</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Avançar</translation>
    </message>
    <message>
        <source>Go forward</source>
        <translation>Avançar</translation>
    </message>
    <message>
        <source>Go to the parent directory</source>
        <translation>Ir para a pasta superior</translation>
    </message>
    <message>
        <source>Recent Places</source>
        <translation>Locais recentes</translation>
    </message>
    <message>
        <source>Go back</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Change to detail view mode</source>
        <translation>Alterar para o modo de exibição detalhada</translation>
    </message>
    <message>
        <source>Create New Folder</source>
        <translation>Criar nova pasta</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>Atalho</translation>
    </message>
    <message>
        <source>Detail View</source>
        <translation>Exibição detalhada</translation>
    </message>
    <message>
        <source>%1
File not found.
Please verify the correct file name was given.</source>
        <translation>%1
Arquivo não encontrado.
Verifique se foi indicado um nome correto para o arquivo.</translation>
    </message>
    <message>
        <source>Change to list view mode</source>
        <translation>Alterar para o modo de exibição em lista</translation>
    </message>
</context>
<context>
    <name>QFileSystemModel</name>
    <message>
        <source>Kind</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Tamanho</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Meu computador</translation>
    </message>
    <message>
        <source>Computer</source>
        <translation>Computador</translation>
    </message>
    <message>
        <source>Invalid filename</source>
        <translation>Nome de arquivo inválido</translation>
    </message>
    <message>
        <source>&lt;b&gt;The name "%1" cannot be used.&lt;/b&gt;&lt;p&gt;Try using another name, with fewer characters or no punctuation marks.</source>
        <translation>&lt;b&gt;O nome "%1" não pode ser usado.&lt;/b&gt;&lt;p&gt;Tente usar outro nome, com menos caracteres ou pontuação.</translation>
    </message>
    <message>
        <source>Date Modified</source>
        <translation>Data de modificação</translation>
    </message>
</context>
<context>
    <name>QDirModel</name>
    <message>
        <source>Kind</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Tamanho</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Date Modified</source>
        <translation>Data de modificação</translation>
    </message>
</context>
<context>
    <name>QPrintPreviewDialog</name>
    <message>
        <source>%1%</source>
        <translation>%1%</translation>
    </message>
    <message>
        <source>Print Preview</source>
        <translation>Visualizar impressão</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Imprimir</translation>
    </message>
    <message>
        <source>Fit page</source>
        <translation>Ajustar à página</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Ampliar</translation>
    </message>
    <message>
        <source>Landscape</source>
        <translation>Paisagem</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Reduzir</translation>
    </message>
    <message>
        <source>Fit width</source>
        <translation>Ajustar à largura</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>Retrato</translation>
    </message>
    <message>
        <source>Page Setup</source>
        <translation>Configuração de página</translation>
    </message>
    <message>
        <source>Page setup</source>
        <translation>Configuração da página</translation>
    </message>
    <message>
        <source>Show overview of all pages</source>
        <translation>Mostrar visão geral de todas as páginas</translation>
    </message>
    <message>
        <source>First page</source>
        <translation>Primeira página</translation>
    </message>
    <message>
        <source>Last page</source>
        <translation>Última página</translation>
    </message>
    <message>
        <source>Show single page</source>
        <translation>Mostrar única página</translation>
    </message>
    <message>
        <source>Export to PDF</source>
        <translation>Exportar como PDF</translation>
    </message>
    <message>
        <source>Previous page</source>
        <translation>Página anterior</translation>
    </message>
    <message>
        <source>Next page</source>
        <translation>Próxima página</translation>
    </message>
    <message>
        <source>Show facing pages</source>
        <translation>Mostrar páginas opostas</translation>
    </message>
</context>
<context>
    <name>QPrintDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Even Pages</source>
        <translation>Páginas pares</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Imprimir</translation>
    </message>
    <message>
        <source>&amp;Options &lt;&lt;</source>
        <translation>&amp;Opções &lt;&lt;</translation>
    </message>
    <message>
        <source>&amp;Options &gt;&gt;</source>
        <translation>&amp;Opções &gt;&gt;</translation>
    </message>
    <message>
        <source>Left to Right, Top to Bottom</source>
        <translation>Da esquerda para a direita, de cima para baixo</translation>
    </message>
    <message>
        <source>Right to Left, Bottom to Top</source>
        <translation>Da direita para a esquerda, de baixo para cima</translation>
    </message>
    <message>
        <source>Write PDF file</source>
        <translation>Gravar arquivo PDF</translation>
    </message>
    <message>
        <source>&amp;Print</source>
        <translation>&amp;Imprimir</translation>
    </message>
    <message>
        <source>1 (1x1)</source>
        <translation>1 (1x1)</translation>
    </message>
    <message>
        <source>Options 'Pages Per Sheet' and 'Page Set' cannot be used together.
Please turn one of those options off.</source>
        <translation>As opções 'Páginas por folha' e 'Conjunto de páginas' não podem ser usadas em conjunto.
Desative uma das opções.</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to overwrite it?</source>
        <translation>O %1 já existe.
Deseja sobrescrevê-lo?</translation>
    </message>
    <message>
        <source>2 (2x1)</source>
        <translation>2 (2x1)</translation>
    </message>
    <message>
        <source>Left to Right, Bottom to Top</source>
        <translation>Da esquerda para a direita, de baixo para cima</translation>
    </message>
    <message>
        <source>4 (2x2)</source>
        <translation>4 (2x2)</translation>
    </message>
    <message>
        <source>Odd Pages</source>
        <translation>Páginas ímpares</translation>
    </message>
    <message>
        <source>Local file</source>
        <translation>Arquivo local</translation>
    </message>
    <message>
        <source>6 (2x3)</source>
        <translation>6 (2x3)</translation>
    </message>
    <message>
        <source>16 (4x4)</source>
        <translation>16 (4x4)</translation>
    </message>
    <message>
        <source>There are conflicts in duplex settings. Do you want to fix them?</source>
        <translation>Há conflitos nas configurações duplex. Deseja corrigi-los?</translation>
    </message>
    <message>
        <source>Print to File (PDF)</source>
        <translation>Imprimir para arquivo (PDF)</translation>
    </message>
    <message>
        <source>Print To File ...</source>
        <translation>Imprimir para arquivo...</translation>
    </message>
    <message>
        <source>Invalid Pages Definition</source>
        <translation>Definição de páginas inválida</translation>
    </message>
    <message>
        <source>%1 does not follow the correct syntax. Please use ',' to separate ranges and pages, '-' to define ranges and make sure ranges do not intersect with each other.</source>
        <translation>%1 não segue a sintaxe correta. Use ',' para separar intervalos e páginas, '-' para definir intervalos e certifique-se de que os intervalos não cruzem entre si.</translation>
    </message>
    <message>
        <source>9 (3x3)</source>
        <translation>9 (3x3)</translation>
    </message>
    <message>
        <source>Right to Left, Top to Bottom</source>
        <translation>Da direita para a esquerda, de cima para baixo</translation>
    </message>
    <message>
        <source>Bottom to Top, Left to Right</source>
        <translation>De baixo para cima, da esquerda para a direita</translation>
    </message>
    <message>
        <source>The 'From' value cannot be greater than the 'To' value.</source>
        <translation>O valor 'De' não pode ser maior que o valor 'Até'.</translation>
    </message>
    <message>
        <source>All Pages</source>
        <translation>Todas as páginas</translation>
    </message>
    <message>
        <source>Duplex Settings Conflicts</source>
        <translation>Conflitos de configurações duplex</translation>
    </message>
    <message>
        <source>%1 is a directory.
Please choose a different file name.</source>
        <translation>%1 é uma pasta.
Escolha um nome de arquivo diferente.</translation>
    </message>
    <message>
        <source>File %1 is not writable.
Please choose a different file name.</source>
        <translation>O arquivo %1 não é gravável.
Escolha um nome diferente.</translation>
    </message>
    <message>
        <source>Bottom to Top, Right to Left</source>
        <translation>De baixo para cima, da direita para a esquerda</translation>
    </message>
    <message>
        <source>Top to Bottom, Left to Right</source>
        <translation>De cima para baixo, da esquerda para a direita</translation>
    </message>
    <message>
        <source>Top to Bottom, Right to Left</source>
        <translation>De cima para baixo, da direita para a esquerda</translation>
    </message>
</context>
<context>
    <name>QPrintWidget</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formulário</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Tipo:</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Nome:</translation>
    </message>
    <message>
        <source>Output &amp;file:</source>
        <translation>Arquivo de &amp;saída:</translation>
    </message>
    <message>
        <source>P&amp;roperties</source>
        <translation>P&amp;ropriedades</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Visualização</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Impressora</translation>
    </message>
    <message>
        <source>Location:</source>
        <translation>Localização:</translation>
    </message>
</context>
<context>
    <name>QPrintSettingsOutput</name>
    <message>
        <source>to</source>
        <translation>a</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Desligado</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formulário</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Nenhum</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Colorido</translation>
    </message>
    <message>
        <source>Print all</source>
        <translation>Imprimir tudo</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Páginas</translation>
    </message>
    <message>
        <source>Current Page</source>
        <translation>Página atual</translation>
    </message>
    <message>
        <source>Selection</source>
        <translation>Seleção</translation>
    </message>
    <message>
        <source>Long side</source>
        <translation>Lado longo</translation>
    </message>
    <message>
        <source>Copies</source>
        <translation>Cópias</translation>
    </message>
    <message>
        <source>Print range</source>
        <translation>Intervalo de impressão</translation>
    </message>
    <message>
        <source>Color Mode</source>
        <translation>Modo de cor</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Opções</translation>
    </message>
    <message>
        <source>Output Settings</source>
        <translation>Configurações de saída</translation>
    </message>
    <message>
        <source>Reverse</source>
        <translation>Inverter</translation>
    </message>
    <message>
        <source>Grayscale</source>
        <translation>Tons de cinza</translation>
    </message>
    <message>
        <source>Short side</source>
        <translation>Lado curto</translation>
    </message>
    <message>
        <source>Collate</source>
        <translation>Agrupar</translation>
    </message>
    <message>
        <source>Copies:</source>
        <translation>Cópias:</translation>
    </message>
    <message>
        <source>Short side binding</source>
        <translation>Encadernação no lado curto</translation>
    </message>
    <message>
        <source>Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.</source>
        <translation>Indique as páginas ou intervalos separados por vírgulas. Os intervalos são indicados por dois números separados por um hífen. Ex.: 3,5-7,9 imprime as páginas 3, 5, 6, 7 e 9.</translation>
    </message>
    <message>
        <source>Pages from</source>
        <translation>Páginas de</translation>
    </message>
    <message>
        <source>Double Sided Printing</source>
        <translation>Impressão em dupla face</translation>
    </message>
    <message>
        <source>Page Set:</source>
        <translation>Conjunto de páginas:</translation>
    </message>
    <message>
        <source>Long side binding</source>
        <translation>Encadernação no lado longo</translation>
    </message>
    <message>
        <source>Duplex Printing</source>
        <translation>Impressão duplex</translation>
    </message>
</context>
<context>
    <name>QPrintPropertiesWidget</name>
    <message>
        <source>Form</source>
        <translation>Formulário</translation>
    </message>
    <message>
        <source>Page</source>
        <translation>Página</translation>
    </message>
    <message>
        <source>There are conflicts in some options. Please fix them.</source>
        <translation>Há conflitos em algumas opções. Corrija-os.</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Avançado</translation>
    </message>
</context>
<context>
    <name>QPrintPropertiesDialog</name>
    <message>
        <source>Advanced Option Conflicts</source>
        <translation>Conflitos da opção avançada</translation>
    </message>
    <message>
        <source>Job Options</source>
        <translation>Opções da tarefa</translation>
    </message>
    <message>
        <source>Page Setup Conflicts</source>
        <translation>Conflitos de configuração de página</translation>
    </message>
    <message>
        <source>There are conflicts in some advanced options. Do you want to fix them?</source>
        <translation>Há conflitos em algumas opções avançadas. Deseja corrigi-los?</translation>
    </message>
    <message>
        <source>There are conflicts in page setup options. Do you want to fix them?</source>
        <translation>Há conflitos nas opções de configuração da página. Deseja corrigi-los?</translation>
    </message>
    <message>
        <source>Printer Properties</source>
        <translation>Propriedades da impressora</translation>
    </message>
</context>
<context>
    <name>QPageSetupWidget</name>
    <message>
        <source>CC</source>
        <translation>CC</translation>
    </message>
    <message>
        <source>DD</source>
        <translation>DD</translation>
    </message>
    <message>
        <source>in</source>
        <translation>in</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>pt</source>
        <translation>pt</translation>
    </message>
    <message>
        <source>P̸</source>
        <translation>P̸</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formulário</translation>
    </message>
    <message>
        <source>bottom margin</source>
        <translation>Margem inferior</translation>
    </message>
    <message>
        <source>Paper</source>
        <translation>Papel</translation>
    </message>
    <message>
        <source>Paper source:</source>
        <translation>Origem do papel:</translation>
    </message>
    <message>
        <source>right margin</source>
        <translation>Margem direita</translation>
    </message>
    <message>
        <source>Pica (P̸)</source>
        <translation>Paica (P̸)</translation>
    </message>
    <message>
        <source>Margins</source>
        <translation>Margens</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Personalizado</translation>
    </message>
    <message>
        <source>Landscape</source>
        <translation>Paisagem</translation>
    </message>
    <message>
        <source>Page Layout</source>
        <translation>Layout da página</translation>
    </message>
    <message>
        <source>Width:</source>
        <translation>Largura:</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Orientação</translation>
    </message>
    <message>
        <source>Didot (DD)</source>
        <translation>Didot (DD)</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>Retrato</translation>
    </message>
    <message>
        <source>Page order:</source>
        <translation>Ordem da página:</translation>
    </message>
    <message>
        <source>top margin</source>
        <translation>Margem superior</translation>
    </message>
    <message>
        <source>left margin</source>
        <translation>Margem esquerda</translation>
    </message>
    <message>
        <source>Page size:</source>
        <translation>Tamanho da página:</translation>
    </message>
    <message>
        <source>Cicero (CC)</source>
        <translation>Cícero (CC)</translation>
    </message>
    <message>
        <source>Reverse portrait</source>
        <translation>Retrato invertido</translation>
    </message>
    <message>
        <source>Millimeters (mm)</source>
        <translation>Milímetros (mm)</translation>
    </message>
    <message>
        <source>Points (pt)</source>
        <translation>Pontos (pt)</translation>
    </message>
    <message>
        <source>Pages per sheet:</source>
        <translation>Páginas por folha:</translation>
    </message>
    <message>
        <source>Inches (in)</source>
        <translation>Polegadas (in)</translation>
    </message>
    <message>
        <source>Reverse landscape</source>
        <translation>Paisagem invertida</translation>
    </message>
    <message>
        <source>Height:</source>
        <translation>Altura:</translation>
    </message>
</context>
<context>
    <name>QPageSize</name>
    <message>
        <source>A0</source>
        <translation>A0</translation>
    </message>
    <message>
        <source>A1</source>
        <translation>A1</translation>
    </message>
    <message>
        <source>A2</source>
        <translation>A2</translation>
    </message>
    <message>
        <source>A3</source>
        <translation>A3</translation>
    </message>
    <message>
        <source>A4</source>
        <translation>A4</translation>
    </message>
    <message>
        <source>A5</source>
        <translation>A5</translation>
    </message>
    <message>
        <source>A6</source>
        <translation>A6</translation>
    </message>
    <message>
        <source>A7</source>
        <translation>A7</translation>
    </message>
    <message>
        <source>A8</source>
        <translation>A8</translation>
    </message>
    <message>
        <source>A9</source>
        <translation>A9</translation>
    </message>
    <message>
        <source>B0</source>
        <translation>B0</translation>
    </message>
    <message>
        <source>B1</source>
        <translation>B1</translation>
    </message>
    <message>
        <source>B2</source>
        <translation>B2</translation>
    </message>
    <message>
        <source>B3</source>
        <translation>B3</translation>
    </message>
    <message>
        <source>B4</source>
        <translation>B4</translation>
    </message>
    <message>
        <source>B5</source>
        <translation>B5</translation>
    </message>
    <message>
        <source>B6</source>
        <translation>B6</translation>
    </message>
    <message>
        <source>B7</source>
        <translation>B7</translation>
    </message>
    <message>
        <source>B8</source>
        <translation>B8</translation>
    </message>
    <message>
        <source>B9</source>
        <translation>B9</translation>
    </message>
    <message>
        <source>A10</source>
        <translation>A10</translation>
    </message>
    <message>
        <source>B10</source>
        <translation>B10</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Nota</translation>
    </message>
    <message>
        <source>Letter / ANSI A</source>
        <translation>Carta / ANSI A</translation>
    </message>
    <message>
        <source>Legal</source>
        <translation>Ofício</translation>
    </message>
    <message>
        <source>Envelope Monarch</source>
        <translation>Envelope Monarch</translation>
    </message>
    <message>
        <source>Architect A</source>
        <translation>Arquiteto A</translation>
    </message>
    <message>
        <source>Architect B</source>
        <translation>Arquiteto B</translation>
    </message>
    <message>
        <source>Architect C</source>
        <translation>Arquiteto C</translation>
    </message>
    <message>
        <source>Architect D</source>
        <translation>Arquiteto D</translation>
    </message>
    <message>
        <source>Architect E</source>
        <translation>Arquiteto E</translation>
    </message>
    <message>
        <source>Letter Extra</source>
        <translation>Carta Extra</translation>
    </message>
    <message>
        <source>Letter Small</source>
        <translation>Carta Pequena</translation>
    </message>
    <message>
        <source>Envelope You 4</source>
        <translation>Envelope You 4</translation>
    </message>
    <message>
        <source>Envelope US 10</source>
        <translation>Envelope EUA 10</translation>
    </message>
    <message>
        <source>Envelope US 11</source>
        <translation>Envelope EUA 11</translation>
    </message>
    <message>
        <source>Envelope US 12</source>
        <translation>Envelope EUA 12</translation>
    </message>
    <message>
        <source>Envelope US 14</source>
        <translation>Envelope EUA 14</translation>
    </message>
    <message>
        <source>Envelope PRC 1</source>
        <translation>Envelope PRC 1</translation>
    </message>
    <message>
        <source>Envelope PRC 2</source>
        <translation>Envelope PRC 2</translation>
    </message>
    <message>
        <source>Envelope PRC 3</source>
        <translation>Envelope PRC 3</translation>
    </message>
    <message>
        <source>Envelope PRC 4</source>
        <translation>Envelope PRC 4</translation>
    </message>
    <message>
        <source>Envelope PRC 5</source>
        <translation>Envelope PRC 5</translation>
    </message>
    <message>
        <source>Envelope PRC 6</source>
        <translation>Envelope PRC 6</translation>
    </message>
    <message>
        <source>Envelope PRC 7</source>
        <translation>Envelope PRC 7</translation>
    </message>
    <message>
        <source>Envelope PRC 8</source>
        <translation>Envelope PRC 8</translation>
    </message>
    <message>
        <source>Envelope PRC 9</source>
        <translation>Envelope PRC 9</translation>
    </message>
    <message>
        <source>Envelope C65</source>
        <translation>Envelope C65</translation>
    </message>
    <message>
        <source>Envelope DL</source>
        <translation>Envelope DL</translation>
    </message>
    <message>
        <source>Envelope B4</source>
        <translation>Envelope B4</translation>
    </message>
    <message>
        <source>Envelope B5</source>
        <translation>Envelope B5</translation>
    </message>
    <message>
        <source>Envelope B6</source>
        <translation>Envelope B6</translation>
    </message>
    <message>
        <source>Envelope C0</source>
        <translation>Envelope C0</translation>
    </message>
    <message>
        <source>Envelope C1</source>
        <translation>Envelope C1</translation>
    </message>
    <message>
        <source>Envelope C2</source>
        <translation>Envelope C2</translation>
    </message>
    <message>
        <source>Envelope C3</source>
        <translation>Envelope C3</translation>
    </message>
    <message>
        <source>Envelope C4</source>
        <translation>Envelope C4</translation>
    </message>
    <message>
        <source>Envelope C5</source>
        <translation>Envelope C5</translation>
    </message>
    <message>
        <source>Envelope C6</source>
        <translation>Envelope C6</translation>
    </message>
    <message>
        <source>Envelope C7</source>
        <translation>Envelope C7</translation>
    </message>
    <message>
        <source>Executive (7.5 x 10 in)</source>
        <translation>Executivo (7,5 x 10 in)</translation>
    </message>
    <message>
        <source>ANSI C</source>
        <translation>ANSI C</translation>
    </message>
    <message>
        <source>ANSI D</source>
        <translation>ANSI D</translation>
    </message>
    <message>
        <source>ANSI E</source>
        <translation>ANSI E</translation>
    </message>
    <message>
        <source>A4 Plus</source>
        <translation>A4 Plus</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Personalizado</translation>
    </message>
    <message>
        <source>JIS B0</source>
        <translation>B0 JIS</translation>
    </message>
    <message>
        <source>JIS B1</source>
        <translation>B1 JIS</translation>
    </message>
    <message>
        <source>JIS B2</source>
        <translation>B2 JIS</translation>
    </message>
    <message>
        <source>JIS B3</source>
        <translation>B3 JIS</translation>
    </message>
    <message>
        <source>JIS B4</source>
        <translation>B4 JIS</translation>
    </message>
    <message>
        <source>JIS B5</source>
        <translation>B5 JIS</translation>
    </message>
    <message>
        <source>JIS B6</source>
        <translation>B6 JIS</translation>
    </message>
    <message>
        <source>JIS B7</source>
        <translation>B7 JIS</translation>
    </message>
    <message>
        <source>JIS B8</source>
        <translation>B8 JIS</translation>
    </message>
    <message>
        <source>JIS B9</source>
        <translation>B9 JIS</translation>
    </message>
    <message>
        <source>A3 Extra</source>
        <translation>A3 Extra</translation>
    </message>
    <message>
        <source>PRC 16K</source>
        <translation>PRC 16K</translation>
    </message>
    <message>
        <source>PRC 32K</source>
        <translation>PRC 32K</translation>
    </message>
    <message>
        <source>Quarto</source>
        <translation>Quarto</translation>
    </message>
    <message>
        <source>PRC 32K Big</source>
        <translation>PRC 32K Grande</translation>
    </message>
    <message>
        <source>A4 Extra</source>
        <translation>A4 Extra</translation>
    </message>
    <message>
        <source>A4 Small</source>
        <translation>A4 Pequeno</translation>
    </message>
    <message>
        <source>Executive (7.25 x 10.5 in)</source>
        <translation>Executivo (7,25 x 10,5 in)</translation>
    </message>
    <message>
        <source>Postcard</source>
        <translation>Postal</translation>
    </message>
    <message>
        <source>Tabloid / ANSI B</source>
        <translation>Tabloide / ANSI B</translation>
    </message>
    <message>
        <source>A5 Extra</source>
        <translation>A5 Extra</translation>
    </message>
    <message>
        <source>B5 Extra</source>
        <translation>B5 Extra</translation>
    </message>
    <message>
        <source>Envelope Invite</source>
        <translation>Envelope Convite</translation>
    </message>
    <message>
        <source>Envelope Chou 3</source>
        <translation>Envelope Chou 3</translation>
    </message>
    <message>
        <source>Envelope Chou 4</source>
        <translation>Envelope Chou 4</translation>
    </message>
    <message>
        <source>Statement</source>
        <translation>Recibo</translation>
    </message>
    <message>
        <source>Fan-fold German (8.5 x 12 in)</source>
        <translation>Contínuo Alemão (8.5 x 12 in)</translation>
    </message>
    <message>
        <source>Envelope PRC 10</source>
        <translation>Envelope PRC 10</translation>
    </message>
    <message>
        <source>Envelope Kaku 2</source>
        <translation>Envelope Kaku 2</translation>
    </message>
    <message>
        <source>Envelope Kaku 3</source>
        <translation>Envelope Kaku 3</translation>
    </message>
    <message>
        <source>Envelope US 9</source>
        <translation>Envelope EUA 9</translation>
    </message>
    <message>
        <source>%1 x %2 in</source>
        <translation>%1 x %2 in</translation>
    </message>
    <message>
        <source>Super A</source>
        <translation>Super A</translation>
    </message>
    <message>
        <source>Super B</source>
        <translation>Super B</translation>
    </message>
    <message>
        <source>Fan-fold US (14.875 x 11 in)</source>
        <translation>Contínuo EUA (14.875 x 11 in)</translation>
    </message>
    <message>
        <source>Fan-fold German Legal (8.5 x 13 in)</source>
        <translation>Contínuo Ofício Alemão (8.5 x 13 in)</translation>
    </message>
    <message>
        <source>Custom (%1in x %2in)</source>
        <translation>Personalizado (%1in x %2in)</translation>
    </message>
    <message>
        <source>Custom (%1mm x %2mm)</source>
        <translation>Personalizado (%1mm x %2mm)</translation>
    </message>
    <message>
        <source>Custom (%1CC x %2CC)</source>
        <translation>Personalizado (%1CC x %2CC)</translation>
    </message>
    <message>
        <source>Custom (%1DD x %2DD)</source>
        <translation>Personalizado (%1DD x %2DD)</translation>
    </message>
    <message>
        <source>Custom (%1pc x %2pc)</source>
        <translation>Personalizado (%1pc x %2pc)</translation>
    </message>
    <message>
        <source>Custom (%1pt x %2pt)</source>
        <translation>Personalizado (%1pt x %2pt)</translation>
    </message>
    <message>
        <source>Letter Plus</source>
        <translation>Carta Plus</translation>
    </message>
    <message>
        <source>Tabloid Extra</source>
        <translation>Tabloide Extra</translation>
    </message>
    <message>
        <source>Envelope Italian</source>
        <translation>Envelope Italiano</translation>
    </message>
    <message>
        <source>Double Postcard</source>
        <translation>Postal Duplo</translation>
    </message>
    <message>
        <source>Legal Extra</source>
        <translation>Ofício Extra</translation>
    </message>
    <message>
        <source>Folio (8.27 x 13 in)</source>
        <translation>Fólio (8,27 x 13 in)</translation>
    </message>
    <message>
        <source>Ledger / ANSI B</source>
        <translation>Livro / ANSI B</translation>
    </message>
    <message>
        <source>JIS B10</source>
        <translation>B10 JIS</translation>
    </message>
    <message>
        <source>Envelope Personal</source>
        <translation>Envelope Pessoal</translation>
    </message>
</context>
<context>
    <name>QCupsJobWidget</name>
    <message>
        <source>Job</source>
        <translation>Tarefa</translation>
    </message>
    <message>
        <source>End:</source>
        <translation>Fim:</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Nenhuma</translation>
    </message>
    <message>
        <source>Banner Pages</source>
        <translation>Separador de páginas</translation>
    </message>
    <message>
        <source>Night (18:00 to 05:59)</source>
        <translation>Noite (18:00 até 05:59)</translation>
    </message>
    <message>
        <source>Specific Time</source>
        <translation>Hora específica</translation>
    </message>
    <message>
        <source>Billing information:</source>
        <translation>Informações de cobrança:</translation>
    </message>
    <message>
        <source>Scheduled printing:</source>
        <translation>Impressão agendada:</translation>
    </message>
    <message>
        <source>Secret</source>
        <translation>Secreto</translation>
    </message>
    <message>
        <source>Top Secret</source>
        <translation>Altamente secreto</translation>
    </message>
    <message>
        <source>Start:</source>
        <translation>Início:</translation>
    </message>
    <message>
        <source>Day (06:00 to 17:59)</source>
        <translation>Dia (06:00 até 17:59)</translation>
    </message>
    <message>
        <source>Second Shift (16:00 to 23:59)</source>
        <translation>Segundo turno (16:00 até 23:59)</translation>
    </message>
    <message>
        <source>Job Control</source>
        <translation>Controle de tarefas</translation>
    </message>
    <message>
        <source>Weekend (Saturday to Sunday)</source>
        <translation>Fim de semana (sábado a domingo)</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Padrão</translation>
    </message>
    <message>
        <source>Classified</source>
        <translation>Classificado</translation>
    </message>
    <message>
        <source>Third Shift (00:00 to 07:59)</source>
        <translation>Terceiro turno (00:00 até 07:59)</translation>
    </message>
    <message>
        <source>Hold Indefinitely</source>
        <translation>Manter indefinidamente</translation>
    </message>
    <message>
        <source>Print Immediately</source>
        <translation>Imprimir imediatamente</translation>
    </message>
    <message>
        <source>Confidential</source>
        <translation>Confidencial</translation>
    </message>
    <message>
        <source>Job priority:</source>
        <translation>Prioridade da tarefa:</translation>
    </message>
    <message>
        <source>Unclassified</source>
        <translation>Sem classificação</translation>
    </message>
</context>
<context>
    <name>QCupsPrinterSupport</name>
    <message>
        <source>Authentication needed to use %1 on %2.</source>
        <translation>Autenticação necessária para usar %1 em %2.</translation>
    </message>
    <message>
        <source>Authentication needed to use %1.</source>
        <translation>Autenticação necessária para usar %1.</translation>
    </message>
    <message>
        <source>Authentication Needed</source>
        <translation>Autenticação necessária</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Senha:</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nome de usuário:</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>Cu&amp;t</source>
        <translation>Recor&amp;tar</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copiar</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Refazer</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Desfazer</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>C&amp;olar</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Excluir</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Selecionar tudo</translation>
    </message>
</context>
<context>
    <name>QWidgetTextControl</name>
    <message>
        <source>Cu&amp;t</source>
        <translation>Recor&amp;tar</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copiar</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Refazer</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Desfazer</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>Co&amp;lar</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Excluir</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Selecionar tudo</translation>
    </message>
    <message>
        <source>Copy &amp;Link Location</source>
        <translation>Copiar localização do &amp;link</translation>
    </message>
</context>
<context>
    <name>QUnicodeControlCharacterMenu</name>
    <message>
        <source>RLE Start of right-to-left embedding</source>
        <translation>RLE Início de incorporação da direita para a esquerda</translation>
    </message>
    <message>
        <source>ZWSP Zero width space</source>
        <translation>ZWSP Espaço de tamanho nulo</translation>
    </message>
    <message>
        <source>LRI Left-to-right isolate</source>
        <translation>LRI Isolado da Esquerda para a Direita</translation>
    </message>
    <message>
        <source>Insert Unicode control character</source>
        <translation>Inserir caractere de controle Unicode</translation>
    </message>
    <message>
        <source>LRO Start of left-to-right override</source>
        <translation>LRO Início de substituição da esquerda para a direita</translation>
    </message>
    <message>
        <source>LRE Start of left-to-right embedding</source>
        <translation>LRE Início de incorporação da esquerda para a direita</translation>
    </message>
    <message>
        <source>RLI Right-to-left isolate</source>
        <translation>RLI Isolado da Direita para a Esquerda</translation>
    </message>
    <message>
        <source>RLM Right-to-left mark</source>
        <translation>RLM Marca da direita para a esquerda</translation>
    </message>
    <message>
        <source>PDF Pop directional formatting</source>
        <translation>PDF Formatação direcional pop</translation>
    </message>
    <message>
        <source>ZWNJ Zero width non-joiner</source>
        <translation>ZWNJ Separação de tamanho nulo</translation>
    </message>
    <message>
        <source>RLO Start of right-to-left override</source>
        <translation>RLO Início de substituição da direita para a esquerda</translation>
    </message>
    <message>
        <source>PDI Pop directional isolate</source>
        <translation>PDI Isolado Direcional Pop</translation>
    </message>
    <message>
        <source>ZWJ Zero width joiner</source>
        <translation>ZWJ Inclusão de tamanho nulo</translation>
    </message>
    <message>
        <source>LRM Left-to-right mark</source>
        <translation>LRM Marca da esquerda para a direita</translation>
    </message>
    <message>
        <source>FSI First strong isolate</source>
        <translation>FSI Isolado Forte Primeiro</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Não</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Sim</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ajuda</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Salvar</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Aplicar</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fechar</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Restaurar</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Repetir</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Restaurar padrões</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignorar</translation>
    </message>
    <message>
        <source>N&amp;o to All</source>
        <translation>Nã&amp;o para tudo</translation>
    </message>
    <message>
        <source>Save All</source>
        <translation>Salvar tudo</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Descartar</translation>
    </message>
    <message>
        <source>Yes to &amp;All</source>
        <translation>Sim par&amp;a tudo</translation>
    </message>
</context>
<context>
    <name>QDialogButtonBox</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>QMessageBox</name>
    <message>
        <source>Show Details...</source>
        <translation>Mostrar detalhes...</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Sobre o Qt</translation>
    </message>
    <message>
        <source>Hide Details...</source>
        <translation>Ocultar detalhes...</translation>
    </message>
    <message>
        <source>&lt;h3&gt;About Qt&lt;/h3&gt;&lt;p&gt;This program uses Qt version %1.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Sobre o Qt&lt;/h3&gt;&lt;p&gt;Este programa usa a versão %1 do Qt.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;Qt is a C++ toolkit for cross-platform application development.&lt;/p&gt;&lt;p&gt;Qt provides single-source portability across all major desktop operating systems. It is also available for embedded Linux and other embedded and mobile operating systems.&lt;/p&gt;&lt;p&gt;Qt is available under multiple licensing options designed to accommodate the needs of our various users.&lt;/p&gt;&lt;p&gt;Qt licensed under our commercial license agreement is appropriate for development of proprietary/commercial software where you do not want to share any source code with third parties or otherwise cannot comply with the terms of GNU (L)GPL.&lt;/p&gt;&lt;p&gt;Qt licensed under GNU (L)GPL is appropriate for the development of Qt&amp;nbsp;applications provided you can comply with the terms and conditions of the respective licenses.&lt;/p&gt;&lt;p&gt;Please see &lt;a href="http://%2/"&gt;%2&lt;/a&gt; for an overview of Qt licensing.&lt;/p&gt;&lt;p&gt;Copyright (C) %1 The Qt Company Ltd and other contributors.&lt;/p&gt;&lt;p&gt;Qt and the Qt logo are trademarks of The Qt Company Ltd.&lt;/p&gt;&lt;p&gt;Qt is The Qt Company Ltd product developed as an open source project. See &lt;a href="http://%3/"&gt;%3&lt;/a&gt; for more information.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Qt é um conjunto de ferramentas C++ para desenvolvimento de aplicativos multiplataforma.&lt;/p&gt;&lt;p&gt;O Qt oferece portabilidade de fonte única em todos os principais sistemas operacionais para desktop. Também está disponível para Linux embarcado e outros sistemas operacionais embarcados e móveis.&lt;/p&gt;&lt;p&gt;Está disponível sob múltiplas opções de licenciamento projetadas para acomodar as necessidades de nossos vários usuários.&lt;/p&gt;&lt;p&gt;O Qt licenciado sob nosso contrato de licença comercial é apropriado para desenvolvimento de software proprietário/comercial onde você não quer compartilhar nenhum código-fonte com terceiros ou não pode cumprir com os termos da GNU (L)GPL.&lt;/p&gt;&lt;p&gt;O Qt licenciado sob GNU (L)GPL é apropriado para desenvolvimento de aplicativos Qt&amp;nbsp;desde que você possa cumprir com os termos e condições das respectivas licenças.&lt;/p&gt;&lt;p&gt;Consulte &lt;a href="http://%2/"&gt;%2&lt;/a&gt; para ter uma visão geral da licença do Qt.&lt;/p&gt;&lt;p&gt;Copyright (C) %1 The Qt Company Ltd e outros colaboradores.&lt;/p&gt;&lt;p&gt;Qt e o logotipo Qt são marcas registradas da The Qt Company Ltd.&lt;/p&gt;&lt;p&gt;Qt é o produto da The Qt Company Ltd desenvolvido como um projeto de código aberto. Consulte &lt;a href="http://%3/"&gt;%3&lt;/a&gt; para mais informações.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>QErrorMessage</name>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Fatal Error:</source>
        <translation>Erro fatal:</translation>
    </message>
    <message>
        <source>&amp;Show this message again</source>
        <translation>Mo&amp;strar esta mensagem novamente</translation>
    </message>
    <message>
        <source>Critical Error:</source>
        <translation>Erro crítico:</translation>
    </message>
    <message>
        <source>Information:</source>
        <translation>Informação:</translation>
    </message>
    <message>
        <source>Debug Message:</source>
        <translation>Mensagem de depuração:</translation>
    </message>
    <message>
        <source>Warning:</source>
        <translation>Aviso:</translation>
    </message>
</context>
<context>
    <name>QDialog</name>
    <message>
        <source>What's This?</source>
        <translation>O que é isto?</translation>
    </message>
</context>
<context>
    <name>QAbstractSpinBox</name>
    <message>
        <source>Step &amp;down</source>
        <translation>&amp;Passo &amp;abaixo</translation>
    </message>
    <message>
        <source>&amp;Step up</source>
        <translation>Pa&amp;sso acima</translation>
    </message>
    <message>
        <source>&amp;Select All</source>
        <translation>&amp;Selecionar tudo</translation>
    </message>
</context>
<context>
    <name>QInputDialog</name>
    <message>
        <source>Enter a value:</source>
        <translation>Digite um valor:</translation>
    </message>
</context>
<context>
    <name>QScrollBar</name>
    <message>
        <source>Top</source>
        <translation>Superior</translation>
    </message>
    <message>
        <source>Scroll down</source>
        <translation>Rolar para baixo</translation>
    </message>
    <message>
        <source>Scroll here</source>
        <translation>Rolar aqui</translation>
    </message>
    <message>
        <source>Scroll left</source>
        <translation>Rolar à esquerda</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Inferior</translation>
    </message>
    <message>
        <source>Page up</source>
        <translation>Página acima</translation>
    </message>
    <message>
        <source>Page right</source>
        <translation>Página à direita</translation>
    </message>
    <message>
        <source>Scroll up</source>
        <translation>Rolar para cima</translation>
    </message>
    <message>
        <source>Scroll right</source>
        <translation>Rolar à direita</translation>
    </message>
    <message>
        <source>Left edge</source>
        <translation>Borda esquerda</translation>
    </message>
    <message>
        <source>Page down</source>
        <translation>Página abaixo</translation>
    </message>
    <message>
        <source>Page left</source>
        <translation>Página à esquerda</translation>
    </message>
    <message>
        <source>Right edge</source>
        <translation>Borda direita</translation>
    </message>
</context>
<context>
    <name>QShortcut</name>
    <message>
        <source>+</source>
        <translation>+</translation>
    </message>
    <message>
        <source>CD</source>
        <translation>CD</translation>
    </message>
    <message>
        <source>Go</source>
        <translation>Ir</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Não</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Acima</translation>
    </message>
    <message>
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message>
        <source>F%1</source>
        <translation>F%1</translation>
    </message>
    <message>
        <source>DOS</source>
        <translation>DOS</translation>
    </message>
    <message>
        <source>Del</source>
        <translation>Del</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Recortar</translation>
    </message>
    <message>
        <source>End</source>
        <translation>End</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message>
        <source>Ins</source>
        <translation>Ins</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Novo</translation>
    </message>
    <message>
        <source>Num</source>
        <translation>Num</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Vermelho</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>WWW</source>
        <translation>WWW</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Sim</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Away</source>
        <translation>Ausente</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>Azul</translation>
    </message>
    <message>
        <source>Book</source>
        <translation>Livro</translation>
    </message>
    <message>
        <source>Call</source>
        <translation>Ligar</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Ctrl</source>
        <translation>Ctrl</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Abaixo</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Sair</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Localizar</translation>
    </message>
    <message>
        <source>Flip</source>
        <translation>Inverter</translation>
    </message>
    <message>
        <source>Game</source>
        <translation>Jogo</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ajuda</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Informações</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Esquerda</translation>
    </message>
    <message>
        <source>Memo</source>
        <translation>Memorando</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Meta</source>
        <translation>Meta</translation>
    </message>
    <message>
        <source>News</source>
        <translation>Notícias</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>PgUp</source>
        <translation>PgUp</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Reproduzir</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Refazer</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Salvar</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
    <message>
        <source>Shop</source>
        <translation>Loja</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Parar</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Desfazer</translation>
    </message>
    <message>
        <source>XFer</source>
        <translation>XFer</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Exibir</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Split Screen</source>
        <translation>Dividir tela</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Limpar</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fechar</translation>
    </message>
    <message>
        <source>Eject</source>
        <translation>Ejetar</translation>
    </message>
    <message>
        <source>Enter</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Verde</translation>
    </message>
    <message>
        <source>Guide</source>
        <translation>Guia</translation>
    </message>
    <message>
        <source>Kanji</source>
        <translation>Kanji</translation>
    </message>
    <message>
        <source>Music</source>
        <translation>Músicas</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Colar</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Telefone</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Reply</source>
        <translation>Responder</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Direita</translation>
    </message>
    <message>
        <source>Shift</source>
        <translation>Shift</translation>
    </message>
    <message>
        <source>Sleep</source>
        <translation>Suspender</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Espaço</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Ferramentas</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Vídeo</translation>
    </message>
    <message>
        <source>Hiragana</source>
        <translation>Hiragana</translation>
    </message>
    <message>
        <source>Wireless</source>
        <translation>Sem fio</translation>
    </message>
    <message>
        <source>Media Record</source>
        <translation>Multimídia Gravar</translation>
    </message>
    <message>
        <source>Media Rewind</source>
        <translation>Multimídia Retornar</translation>
    </message>
    <message>
        <source>Multiple Candidate</source>
        <translation>Vários candidatos</translation>
    </message>
    <message>
        <source>Zenkaku</source>
        <translation>Zenkaku</translation>
    </message>
    <message>
        <source>Print Screen</source>
        <translation>Print Screen</translation>
    </message>
    <message>
        <source>Audio Repeat</source>
        <translation>Repetir áudio</translation>
    </message>
    <message>
        <source>Toggle Call/Hangup</source>
        <translation>Alternar Chamar/Desligar</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Ampliar</translation>
    </message>
    <message>
        <source>Camera Shutter</source>
        <translation>Disparador da câmera</translation>
    </message>
    <message>
        <source>Ultra Wide Band</source>
        <translation>Banda ultra-larga</translation>
    </message>
    <message>
        <source>Hangul Special</source>
        <translation>Hangul Special</translation>
    </message>
    <message>
        <source>Treble Down</source>
        <translation>Diminuir agudos</translation>
    </message>
    <message>
        <source>Scroll Lock</source>
        <translation>Scroll Lock</translation>
    </message>
    <message>
        <source>Media Pause</source>
        <translation>Multimídia Pausar</translation>
    </message>
    <message>
        <source>Word Processor</source>
        <translation>Processador de texto</translation>
    </message>
    <message>
        <source>Volume Down</source>
        <translation>Diminuir volume</translation>
    </message>
    <message>
        <source>Volume Mute</source>
        <translation>Sem som</translation>
    </message>
    <message>
        <source>Kana Shift</source>
        <translation>Kana Shift</translation>
    </message>
    <message>
        <source>Media Previous</source>
        <translation>Multimídia Anterior</translation>
    </message>
    <message>
        <source>Home Page</source>
        <translation>Página pessoal</translation>
    </message>
    <message>
        <source>Meeting</source>
        <translation>Reunião</translation>
    </message>
    <message>
        <source>Touchpad Off</source>
        <translation>Touchpad desligado</translation>
    </message>
    <message>
        <source>Volume Up</source>
        <translation>Aumentar volume</translation>
    </message>
    <message>
        <source>Menu PB</source>
        <translation>Menu PB</translation>
    </message>
    <message>
        <source>Keyboard Brightness Up</source>
        <translation>Aumentar iluminação do teclado</translation>
    </message>
    <message>
        <source>Hangul PostHanja</source>
        <translation>Hangul PostHanja</translation>
    </message>
    <message>
        <source>Kana Lock</source>
        <translation>Kana Lock</translation>
    </message>
    <message>
        <source>Community</source>
        <translation>Comunidade</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Launch (6)</source>
        <translation>Lançar (6)</translation>
    </message>
    <message>
        <source>Launch (7)</source>
        <translation>Lançar (7)</translation>
    </message>
    <message>
        <source>Launch (8)</source>
        <translation>Lançar (8)</translation>
    </message>
    <message>
        <source>Launch (9)</source>
        <translation>Lançar (9)</translation>
    </message>
    <message>
        <source>Launch (2)</source>
        <translation>Lançar (2)</translation>
    </message>
    <message>
        <source>Launch (3)</source>
        <translation>Lançar (3)</translation>
    </message>
    <message>
        <source>Launch (4)</source>
        <translation>Lançar (4)</translation>
    </message>
    <message>
        <source>Launch (5)</source>
        <translation>Lançar (5)</translation>
    </message>
    <message>
        <source>Launch (0)</source>
        <translation>Lançar (0)</translation>
    </message>
    <message>
        <source>Launch (1)</source>
        <translation>Lançar (1)</translation>
    </message>
    <message>
        <source>Launch (F)</source>
        <translation>Lançar (F)</translation>
    </message>
    <message>
        <source>Launch (G)</source>
        <translation>Lançar (G)</translation>
    </message>
    <message>
        <source>Launch (H)</source>
        <translation>Lançar (H)</translation>
    </message>
    <message>
        <source>Launch (B)</source>
        <translation>Lançar (B)</translation>
    </message>
    <message>
        <source>Launch (C)</source>
        <translation>Lançar (C)</translation>
    </message>
    <message>
        <source>Launch (D)</source>
        <translation>Lançar (D)</translation>
    </message>
    <message>
        <source>Launch (E)</source>
        <translation>Lançar (E)</translation>
    </message>
    <message>
        <source>Launch (A)</source>
        <translation>Lançar (A)</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Escape</source>
        <translation>Escape</translation>
    </message>
    <message>
        <source>Audio Random Play</source>
        <translation>Reproduzir áudio aleatório</translation>
    </message>
    <message>
        <source>Hangul</source>
        <translation>Hangul</translation>
    </message>
    <message>
        <source>Hangup</source>
        <translation>Desligar</translation>
    </message>
    <message>
        <source>Henkan</source>
        <translation>Henkan</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Insert</translation>
    </message>
    <message>
        <source>Home Office</source>
        <translation>Escritório pessoal</translation>
    </message>
    <message>
        <source>Last Number Redial</source>
        <translation>Rediscagem do último número</translation>
    </message>
    <message>
        <source>Logoff</source>
        <translation>Encerrar sessão</translation>
    </message>
    <message>
        <source>Market</source>
        <translation>Mercado</translation>
    </message>
    <message>
        <source>Massyo</source>
        <translation>Massyo</translation>
    </message>
    <message>
        <source>Bass Boost</source>
        <translation>Aumento de graves</translation>
    </message>
    <message>
        <source>Channel Up</source>
        <translation>Canal anterior</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Opção</translation>
    </message>
    <message>
        <source>PgDown</source>
        <translation>PgDown</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Recarregar</translation>
    </message>
    <message>
        <source>Return</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>Adjust contrast</source>
        <translation>Ajustar contraste</translation>
    </message>
    <message>
        <source>Romaji</source>
        <translation>Romaji</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Pesquisar</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Selecionar</translation>
    </message>
    <message>
        <source>SysReq</source>
        <translation>SysReq</translation>
    </message>
    <message>
        <source>Travel</source>
        <translation>Viagem</translation>
    </message>
    <message>
        <source>NumLock</source>
        <translation>NumLock</translation>
    </message>
    <message>
        <source>WebCam</source>
        <translation>Webcam</translation>
    </message>
    <message>
        <source>Hiragana Katakana</source>
        <translation>Hiragana Katakana</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Amarelo</translation>
    </message>
    <message>
        <source>Top Menu</source>
        <translation>Menu superior</translation>
    </message>
    <message>
        <source>ScrollLock</source>
        <translation>ScrollLock</translation>
    </message>
    <message>
        <source>Hot Links</source>
        <translation>Links importantes</translation>
    </message>
    <message>
        <source>Audio Cycle Track</source>
        <translation>Faixas de áudio em ciclo</translation>
    </message>
    <message>
        <source>Context1</source>
        <translation>Contexto1</translation>
    </message>
    <message>
        <source>Context2</source>
        <translation>Contexto2</translation>
    </message>
    <message>
        <source>Context3</source>
        <translation>Contexto3</translation>
    </message>
    <message>
        <source>Context4</source>
        <translation>Contexto4</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Reduzir</translation>
    </message>
    <message>
        <source>Page Up</source>
        <translation>Page Up</translation>
    </message>
    <message>
        <source>Open URL</source>
        <translation>Abrir URL</translation>
    </message>
    <message>
        <source>iTouch</source>
        <translation>iTouch</translation>
    </message>
    <message>
        <source>Previous Candidate</source>
        <translation>Candidato anterior</translation>
    </message>
    <message>
        <source>Toggle Media Play/Pause</source>
        <translation>Alternar entre Reproduzir/Pausar</translation>
    </message>
    <message>
        <source>Caps Lock</source>
        <translation>Caps Lock</translation>
    </message>
    <message>
        <source>Eisu Shift</source>
        <translation>Eisu Shift</translation>
    </message>
    <message>
        <source>Code input</source>
        <translation>Entrada de código</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Impressora</translation>
    </message>
    <message>
        <source>Camera Focus</source>
        <translation>Foco da câmera</translation>
    </message>
    <message>
        <source>Adjust Brightness</source>
        <translation>Ajustar brilho</translation>
    </message>
    <message>
        <source>Spreadsheet</source>
        <translation>Planilha</translation>
    </message>
    <message>
        <source>Eisu toggle</source>
        <translation>Eisu toggle</translation>
    </message>
    <message>
        <source>Keyboard Brightness Down</source>
        <translation>Reduzir iluminação do teclado</translation>
    </message>
    <message>
        <source>Calendar</source>
        <translation>Calendário</translation>
    </message>
    <message>
        <source>Clear Grab</source>
        <translation>Limpar e capturar</translation>
    </message>
    <message>
        <source>Monitor Brightness Up</source>
        <translation>Aumentar brilho do monitor</translation>
    </message>
    <message>
        <source>System Request</source>
        <translation>System Request</translation>
    </message>
    <message>
        <source>Microphone Volume Up</source>
        <translation>Aumentar volume do microfone</translation>
    </message>
    <message>
        <source>CapsLock</source>
        <translation>CapsLock</translation>
    </message>
    <message>
        <source>Backtab</source>
        <translation>Backtab</translation>
    </message>
    <message>
        <source>Bass Up</source>
        <translation>Aumentar graves</translation>
    </message>
    <message>
        <source>Battery</source>
        <translation>Bateria</translation>
    </message>
    <message>
        <source>Katakana</source>
        <translation>Katakana</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Atualizar</translation>
    </message>
    <message>
        <source>Hibernate</source>
        <translation>Hibernar</translation>
    </message>
    <message>
        <source>Application Left</source>
        <translation>Aplicativo à esquerda</translation>
    </message>
    <message>
        <source>Voice Dial</source>
        <translation>Discagem por voz</translation>
    </message>
    <message>
        <source>Browser</source>
        <translation>Navegador</translation>
    </message>
    <message>
        <source>Keyboard Menu</source>
        <translation>Menu do teclado</translation>
    </message>
    <message>
        <source>Back Forward</source>
        <translation>Retornar/Avançar</translation>
    </message>
    <message>
        <source>Launch Mail</source>
        <translation>Lançar e-mail</translation>
    </message>
    <message>
        <source>Keyboard Light On/Off</source>
        <translation>Ligar/desligar iluminação do teclado</translation>
    </message>
    <message>
        <source>Backspace</source>
        <translation>Backspace</translation>
    </message>
    <message>
        <source>Bass Down</source>
        <translation>Diminuir graves</translation>
    </message>
    <message>
        <source>Mail Forward</source>
        <translation>Encaminhar e-mail</translation>
    </message>
    <message>
        <source>Messenger</source>
        <translation>Mensageiro</translation>
    </message>
    <message>
        <source>Hangul Banja</source>
        <translation>Hangul Banja</translation>
    </message>
    <message>
        <source>Hangul Hanja</source>
        <translation>Hangul Hanja</translation>
    </message>
    <message>
        <source>Standby</source>
        <translation>Suspender</translation>
    </message>
    <message>
        <source>Hangul Start</source>
        <translation>Hangul Start</translation>
    </message>
    <message>
        <source>Rotation KB</source>
        <translation>Rotação KB</translation>
    </message>
    <message>
        <source>Rotation PB</source>
        <translation>Rotação PB</translation>
    </message>
    <message>
        <source>Documents</source>
        <translation>Documentos</translation>
    </message>
    <message>
        <source>Calculator</source>
        <translation>Calculadora</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Suporte</translation>
    </message>
    <message>
        <source>Suspend</source>
        <translation>Suspender</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Tela</translation>
    </message>
    <message>
        <source>Hangul Romaja</source>
        <translation>Hangul Romaja</translation>
    </message>
    <message>
        <source>To-do list</source>
        <translation>Lista de tarefas</translation>
    </message>
    <message>
        <source>My Sites</source>
        <translation>Meus sites</translation>
    </message>
    <message>
        <source>Rotate Windows</source>
        <translation>Girar janelas</translation>
    </message>
    <message>
        <source>Touroku</source>
        <translation>Touroku</translation>
    </message>
    <message>
        <source>Zenkaku Hankaku</source>
        <translation>Zenkaku Hankaku</translation>
    </message>
    <message>
        <source>Hangul Jeonja</source>
        <translation>Hangul Jeonja</translation>
    </message>
    <message>
        <source>Treble Up</source>
        <translation>Aumentar agudos</translation>
    </message>
    <message>
        <source>Subtitle</source>
        <translation>Legenda</translation>
    </message>
    <message>
        <source>Hangul Jamo</source>
        <translation>Hangul Jamo</translation>
    </message>
    <message>
        <source>Bluetooth</source>
        <translation>Bluetooth</translation>
    </message>
    <message>
        <source>Muhenkan</source>
        <translation>Muhenkan</translation>
    </message>
    <message>
        <source>Num Lock</source>
        <translation>Num Lock</translation>
    </message>
    <message>
        <source>Screensaver</source>
        <translation>Protetor de tela</translation>
    </message>
    <message>
        <source>Number Lock</source>
        <translation>Number Lock</translation>
    </message>
    <message>
        <source>Power Down</source>
        <translation>Desligar</translation>
    </message>
    <message>
        <source>Spellchecker</source>
        <translation>Verificador ortográfico</translation>
    </message>
    <message>
        <source>Hangul PreHanja</source>
        <translation>Hangul PreHanja</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Configurações</translation>
    </message>
    <message>
        <source>Add Favorite</source>
        <translation>Adicionar favorito</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>Executar</translation>
    </message>
    <message>
        <source>Finance</source>
        <translation>Finanças</translation>
    </message>
    <message>
        <source>Microphone Volume Down</source>
        <translation>Diminuir volume do microfone</translation>
    </message>
    <message>
        <source>Task Panel</source>
        <translation>Painel de tarefas</translation>
    </message>
    <message>
        <source>Favorites</source>
        <translation>Favoritos</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Avançar</translation>
    </message>
    <message>
        <source>Page Down</source>
        <translation>Page Down</translation>
    </message>
    <message>
        <source>Wake Up</source>
        <translation>Ativar</translation>
    </message>
    <message>
        <source>Power Off</source>
        <translation>Desligar</translation>
    </message>
    <message>
        <source>LightBulb</source>
        <translation>Lâmpada</translation>
    </message>
    <message>
        <source>Touchpad Toggle</source>
        <translation>Alternar touchpad</translation>
    </message>
    <message>
        <source>Hankaku</source>
        <translation>Hankaku</translation>
    </message>
    <message>
        <source>Media Fast Forward</source>
        <translation>Multimídia Avançar rapidamente</translation>
    </message>
    <message>
        <source>Hangul End</source>
        <translation>Hangul End</translation>
    </message>
    <message>
        <source>Monitor Brightness Down</source>
        <translation>Reduzir brilho do monitor</translation>
    </message>
    <message>
        <source>Microphone Mute</source>
        <translation>Microfone sem som</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Histórico</translation>
    </message>
    <message>
        <source>Media Play</source>
        <translation>Multimídia Reproduzir</translation>
    </message>
    <message>
        <source>Media Stop</source>
        <translation>Multimídia Parar</translation>
    </message>
    <message>
        <source>Media Next</source>
        <translation>Multimídia Próximo</translation>
    </message>
    <message>
        <source>Touchpad On</source>
        <translation>Touchpad ligado</translation>
    </message>
    <message>
        <source>Channel Down</source>
        <translation>Próximo canal</translation>
    </message>
    <message>
        <source>Launch Media</source>
        <translation>Lançar mídia</translation>
    </message>
    <message>
        <source>Application Right</source>
        <translation>Aplicativo à direita</translation>
    </message>
    <message>
        <source>Pictures</source>
        <translation>Imagens</translation>
    </message>
</context>
<context>
    <name>QComboBox</name>
    <message>
        <source>True</source>
        <translation>Verdadeiro</translation>
    </message>
    <message>
        <source>False</source>
        <translation>Falso</translation>
    </message>
    <message>
        <source>Open the combo box selection popup</source>
        <translation>Abrir menu de contexto da caixa de seleção</translation>
    </message>
</context>
</TS>
