# Makes the MSI (cmake -P, run by the build: see cmake/WindowsPackage.cmake):
# installs the given components into a staging folder, lists the staged
# files for wixl with wixl-heat, builds packaging/windows/vekdc.wxs with
# wixl and adds what wixl cannot write: the installation folder on the
# system PATH (the Environment table and its two actions). The MSI gets its
# name only when complete.
#
# Variables: BUILD_DIR, STAGE_DIR, OUTPUT, WXS, VERSION (n.n.n), UPGRADE_CODE, MAKER,
# COMMENT, COMPONENTS (separated by commas), WINDOW (yes or no), VERB_TEXT_ID,
# TYPE_TEXT_ID, WIXL, WIXL_HEAT, MSIBUILD.
cmake_minimum_required(VERSION 3.25)

function(run)
    execute_process(COMMAND ${ARGN} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

string(REPLACE "," ";" COMPONENTS "${COMPONENTS}")
file(REMOVE_RECURSE ${STAGE_DIR})
set(files_dir ${STAGE_DIR}/files)
foreach(component IN LISTS COMPONENTS)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${files_dir} --component ${component}
        --strip)
endforeach()

# wixl-heat reads the paths, one a line, and gives each file a component
# whose identifier it derives from the path: the same file keeps it.
file(GLOB_RECURSE staged LIST_DIRECTORIES false ${files_dir}/*)
list(SORT staged)
list(JOIN staged "\n" listing)
file(WRITE ${STAGE_DIR}/files.txt "${listing}\n")
run(${WIXL_HEAT} --prefix ${files_dir}/ --directory-ref INSTALLDIR --component-group StagedFiles
    --var var.StageDir --win64
    INPUT_FILE ${STAGE_DIR}/files.txt OUTPUT_FILE ${STAGE_DIR}/files.wxs)

# Each version has a product code of its own, always the same one: an MSI
# of the installed version is that product again, not a second copy of it.
string(UUID product_code NAMESPACE ${UPGRADE_CODE} NAME "VekDC ${VERSION}" TYPE SHA1 UPPER)
set(msi ${STAGE_DIR}/vekdc.msi)
# wixl takes the files' paths relative to the folder it runs in.
execute_process(
    COMMAND ${WIXL} --arch x64 --output ${msi}
            -D Version=${VERSION} -D ProductCode=${product_code} -D UpgradeCode=${UPGRADE_CODE}
            -D Maker=${MAKER} -D Comment=${COMMENT} -D StageDir=files -D Win64=yes
            -D Window=${WINDOW} -D VerbTextId=${VERB_TEXT_ID} -D TypeTextId=${TYPE_TEXT_ID}
            ${WXS} ${STAGE_DIR}/files.wxs
    WORKING_DIRECTORY ${STAGE_DIR}
    COMMAND_ERROR_IS_FATAL ANY)

# The folder appended to the system PATH at installation and taken out of it
# at removal ("=-*": set, remove, system variable; "[~];": append), with
# the component Integration of vekdc.wxs.
# (Not through run(): the value's ";" would split it.)
execute_process(COMMAND ${MSIBUILD} ${msi}
    -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
    -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('SystemPath', '=-*PATH', '[~];[INSTALLDIR]', 'Integration')"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
    COMMAND_ERROR_IS_FATAL ANY)

file(RENAME ${msi} ${OUTPUT})
