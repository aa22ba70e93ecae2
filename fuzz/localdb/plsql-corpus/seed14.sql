begin
  boom;
end;