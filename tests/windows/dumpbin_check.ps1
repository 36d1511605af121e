# Shows a Windows program's or DLL's headers, dependents and exports with
# dumpbin (on the PATH in a Visual Studio developer environment) and stops
# with an error when there is nothing to show or it is not what it should be:
#
#   dumpbin_check.ps1 -Path <file> [-Exports] [-Imports <dll>,...]
#                     [-NotImports <dll>,...]
#
#   -Exports      the file is Vantrel.dll or VantrelD.dll: it exports the
#                 four entry points and nothing else
#   -Imports      DLLs the file must import (Vantrel.dll for a release host)
#   -NotImports   DLLs it must not import (VantrelD.dll for a release host)
#
# Every file must be a 64-bit (x64) image. The Windows workflow calls this
# for every dumpbin it shows, so that a step that names a file which is not
# there, or a path that dumpbin takes for an option, fails instead of
# passing having examined nothing.
param(
  [Parameter(Mandatory = $true)] [string] $Path,
  [switch] $Exports,
  [string[]] $Imports = @(),
  [string[]] $NotImports = @()
)
$ErrorActionPreference = 'Stop'
$PSNativeCommandUseErrorActionPreference = $true

if (-not (Test-Path -LiteralPath $Path -PathType Leaf)) {
  throw "dumpbin_check: there is no file $Path"
}
$file = (Resolve-Path -LiteralPath $Path).Path
$text = (& dumpbin /nologo /headers /dependents /exports $file) -join "`n"
Write-Output $text

# dumpbin names each file it examined; a path it took for an option, or
# could not open, has no such line.
if ($text -notmatch ('Dump of file ' + [regex]::Escape($file))) {
  throw "dumpbin_check: dumpbin did not examine $file"
}
if ($text -notmatch '8664 machine \(x64\)') {
  throw "dumpbin_check: $file is not an x64 image"
}

# The dependents: the indented names after "Image has the following
# dependencies:", up to the next blank line.
$dependents = @()
$inList = $false
foreach ($line in $text -split "`n") {
  if ($line -match 'Image has the following dependencies:') { $inList = $true; continue }
  if ($inList) {
    if ($line -match '^\s+(\S+\.dll)\s*$') { $dependents += $Matches[1] }
    elseif ($dependents.Count -gt 0 -and $line.Trim() -eq '') { break }
  }
}
Write-Output "dumpbin_check: $file imports from $($dependents -join ', ')"
foreach ($dll in $Imports) {
  if ($dependents -notcontains $dll) { throw "dumpbin_check: $file does not import $dll" }
}
foreach ($dll in $NotImports) {
  if ($dependents -contains $dll) { throw "dumpbin_check: $file imports $dll" }
}

if ($Exports) {
  if ($text -notmatch '(\d+) number of names') {
    throw "dumpbin_check: $file has no export table"
  }
  if ([int]$Matches[1] -ne 4) {
    throw "dumpbin_check: $file exports $($Matches[1]) names, not the four entry points"
  }
  foreach ($name in 'GetFuncDefinition', 'GetFilterDefinition',
                    'SetFuncDefinition', 'SetFilterDefinition') {
    # The C++ names, decorated: ?GetFuncDefinition@@...
    if ($text -notmatch ('\?' + $name + '@@')) {
      throw "dumpbin_check: $file does not export $name"
    }
  }
}
