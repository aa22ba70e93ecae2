begin
  raise_application_error(-20001, 'bad thing');
end;