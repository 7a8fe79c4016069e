# Removes the antispam transport agent of ZOR 10 from this Exchange transport server.
# Run in the Exchange Management Shell:
#     . .\zor10-antispam-agent.ps1 [-norestart]
# Without -norestart the Microsoft Exchange Transport service is stopped
# before the change and started again after it.
param([switch]$norestart)

$agentName = 'ZOR 10 Antispam Agent'

if ($args.Count -gt 0) {
    Write-Output "ERROR: unknown argument(s) '$args'; the only switch is -norestart"
    return
}

$server = Get-TransportServer -Identity $env:COMPUTERNAME -ErrorAction SilentlyContinue
if ($server -eq $null) {
    Write-Output "ERROR: $env:COMPUTERNAME is not an Exchange transport server"
    return
}

$agent = Get-TransportAgent -Identity $agentName -ErrorAction SilentlyContinue
if ($agent -eq $null) {
    Write-Output "$agentName is not installed, nothing to remove"
    return
}

if (-not $norestart) {
    Write-Output 'Stopping the Microsoft Exchange Transport service'
    Stop-Service MSExchangeTransport
}

Write-Output "Disabling $agentName"
Disable-TransportAgent -Identity $agentName -Confirm:$false -ErrorAction SilentlyContinue -ErrorVariable failure
if ($failure) {
    Write-Output "ERROR: disabling $agentName failed: $failure"
}

Write-Output "Uninstalling $agentName"
Uninstall-TransportAgent -Identity $agentName -Confirm:$false -ErrorAction SilentlyContinue -ErrorVariable failure
if ($failure) {
    Write-Output "ERROR: uninstalling $agentName failed: $failure"
} else {
    Write-Output "$agentName removed"
}

if (-not $norestart) {
    Write-Output 'Starting the Microsoft Exchange Transport service'
    Start-Service MSExchangeTransport
}
